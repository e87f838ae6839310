#include "gpx/track_point_extension.hpp"

#include "gpx/gpx_number.hpp"
#include "support/number_format.hpp"

#include <cfloat>
#include <cmath>

namespace tarnwick {

namespace {

constexpr std::string_view kTpx2URI = "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";

const RGPXExtensionClass kTpx2Class{
    "TGPXTrkTypeTpx2", "gpxtpx", kTpx2URI,
    []() -> std::unique_ptr<TGPXExtension> { return std::make_unique<TGPXTrkTypeTpx2>(); }};

// A heart rate or cadence: absent unless 0..255, since the low bits of a larger number
// would be a different, wrong value.
std::optional<int> ReadByteValue(const std::string& Text, const char* What, TXmlNode Node) {
  if (!IsGPXInteger(Text)) {
    GPXValueError(What, Text, Node.Location());
  }
  const auto value = TryGPXInteger(Text);
  if (!value || *value < 0 || *value > 255) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

// A speed or course: absent when beyond the range of the record's float.
std::optional<float> ReadFloatValue(const std::string& Text, const char* What, TXmlNode Node) {
  const auto value = TryGPXDecimal(Text);
  if (!value) {
    GPXValueError(What, Text, Node.Location());
  }
  if (std::fabs(*value) > FLT_MAX) {
    return std::nullopt;
  }
  return static_cast<float>(*value);
}

} // namespace

void TGPXTrackPointExtension2::SetToNodeEx(TXmlElement Node) const {
  TXmlElement tpx = Node.AddChild("gpxtpx:TrackPointExtension");
  std::string text;
  if (Have(TTpxTypeDataFlag::tpxHR)) {
    AppendInt(text, _HR);
    tpx.AddTextChild("gpxtpx:hr", text);
  }
  if (Have(TTpxTypeDataFlag::tpxCad)) {
    text.clear();
    AppendInt(text, _Cad);
    tpx.AddTextChild("gpxtpx:cad", text);
  }
  if (Have(TTpxTypeDataFlag::tpxSpeed)) {
    tpx.AddTextChild("gpxtpx:speed", FormatGPXFixed(_Speed, 2));
  }
  if (Have(TTpxTypeDataFlag::tpxCourse)) {
    tpx.AddTextChild("gpxtpx:course", FormatGPXFixed(_Course, 1));
  }
}

void TGPXTrackPointExtension2::SetFromNode(TXmlNode Node) {
  _flags = 0;
  const TXmlNode tpx = Node.FindChildByQName("gpxtpx:TrackPointExtension");
  if (!tpx) {
    return;
  }
  const auto text = [&](const char* name) {
    const TXmlNode child = tpx.FindChildByQName(name);
    return child ? child.Text() : std::string();
  };
  if (const std::string hr = text("gpxtpx:hr"); !hr.empty()) {
    if (const auto v = ReadByteValue(hr, "\"gpxtpx:hr\"", tpx)) {
      SetHR(*v);
    }
  }
  if (const std::string cad = text("gpxtpx:cad"); !cad.empty()) {
    if (const auto v = ReadByteValue(cad, "\"gpxtpx:cad\"", tpx)) {
      SetCad(*v);
    }
  }
  if (const std::string speed = text("gpxtpx:speed"); !speed.empty()) {
    if (const auto v = ReadFloatValue(speed, "\"gpxtpx:speed\"", tpx)) {
      SetSpeed(*v);
    }
  }
  if (const std::string course = text("gpxtpx:course"); !course.empty()) {
    if (const auto v = ReadFloatValue(course, "\"gpxtpx:course\"", tpx)) {
      SetCourse(*v);
    }
  }
}

TGPXExtensionClass TGPXTrkTypeTpx2::Class() {
  return &kTpx2Class;
}

void TGPXTrkTypeTpx2::SetCount(int Value) {
  TrkSegExt.resize(static_cast<size_t>(std::max(Value, 0)));
}

bool TGPXTrkTypeTpx2::HasData(int Idx) const {
  return TrkSegExt.at(static_cast<size_t>(Idx)).HasAny();
}

void TGPXTrkTypeTpx2::SetToNode(TXmlElement Node, int Idx) const {
  TrkSegExt.at(static_cast<size_t>(Idx)).SetToNodeEx(Node);
}

void TGPXTrkTypeTpx2::SetFromNode(TXmlNode Node, int Idx) {
  TrkSegExt.at(static_cast<size_t>(Idx)).SetFromNode(Node);
}

} // namespace tarnwick
