#include "gpx/track_point_extension.hpp"

#include "gpx/gpx_number.hpp"
#include "support/number_format.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace tarnwick {

namespace {

constexpr std::string_view kTpx2URI = "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";
// Version 1 has heart rate and cadence too, and is what gpsbabel, Garmin Connect and Strava
// write.
constexpr std::string_view kTpx1URI = "http://www.garmin.com/xmlschemas/TrackPointExtension/v1";
constexpr std::string_view kAlsoReads[] = {kTpx1URI};

const GPXExtensionClassInfo kTpx2Class{
    "TGPXTrkTypeTpx2", "gpxtpx", kTpx2URI,
    []() -> std::unique_ptr<TGPXExtension> { return std::make_unique<TGPXTrkTypeTpx2>(); },
    kAlsoReads};

// A heart rate or cadence: absent unless 0..255, since the low bits of a larger number
// would be a different, wrong value.
std::optional<int> ReadByteValue(std::string_view Text, XmlNode Node) {
  if (!IsGPXInteger(Text)) {
    GPXValueError("\"" + std::string(Node.Name()) + "\"", Text, Node.Location());
  }
  const auto value = TryGPXInteger(Text);
  if (!value || *value < 0 || *value > 255) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

// A speed or course: absent when beyond the range of the record's float.
std::optional<float> ReadFloatValue(std::string_view Text, XmlNode Node) {
  const auto value = TryGPXDecimal(Text);
  if (!value) {
    GPXValueError("\"" + std::string(Node.Name()) + "\"", Text, Node.Location());
  }
  if (std::fabs(*value) > FLT_MAX) {
    return std::nullopt;
  }
  return static_cast<float>(*value);
}

} // namespace

void TGPXTrackPointExtension2::SetToNodeEx(XmlElement Node) const {
  XmlElement tpx = Node.AddChild("gpxtpx:TrackPointExtension");
  std::string text;
  if (Have(TTpxTypeDataFlag::tpxHR)) {
    AppendInt(text, HR);
    tpx.AddTextChild("gpxtpx:hr", text);
  }
  if (Have(TTpxTypeDataFlag::tpxCad)) {
    text.clear();
    AppendInt(text, Cad);
    tpx.AddTextChild("gpxtpx:cad", text);
  }
  if (Have(TTpxTypeDataFlag::tpxSpeed)) {
    tpx.AddTextChild("gpxtpx:speed", FormatGPXFixed(Speed, 2));
  }
  if (Have(TTpxTypeDataFlag::tpxCourse)) {
    tpx.AddTextChild("gpxtpx:course", FormatGPXFixed(Course, 1));
  }
}

void TGPXTrackPointExtension2::SetFromNode(XmlNode Node) {
  _flags = 0;
  std::string scratch;
  for (XmlNode tpx = Node.FirstChild(); tpx; tpx = tpx.NextSibling()) {
    if (!tpx.IsElement() || tpx.LocalName() != "TrackPointExtension") {
      continue;
    }
    const std::string_view ns = tpx.NamespaceURI();
    if (ns != kTpx2URI && ns != kTpx1URI) {
      continue;
    }
    // The values are children in the extension's own namespace, whatever their prefix; the
    // first of each name counts.
    const auto [hr, cad, speed, course] =
        tpx.FirstChildrenNamed<4>({"hr", "cad", "speed", "course"});
    const auto read = [&](XmlNode Child, auto Convert, auto Store) {
      const std::string_view text = Child ? Child.TextView(scratch) : std::string_view();
      if (!text.empty()) {
        if (const auto v = Convert(text, Child)) {
          Store(*v);
        }
      }
    };
    read(hr, ReadByteValue, [this](int v) { SetHR(v); });
    read(cad, ReadByteValue, [this](int v) { SetCad(v); });
    if (ns == kTpx2URI) {
      read(speed, ReadFloatValue, [this](float v) { SetSpeed(v); });
      read(course, ReadFloatValue, [this](float v) { SetCourse(v); });
    }
  }
}

TGPXExtensionClass TGPXTrkTypeTpx2::Class() {
  return &kTpx2Class;
}

void TGPXTrkTypeTpx2::SetCount(int Value) {
  TrkSegExt.resize(static_cast<size_t>(std::max(Value, 0)));
}

void TGPXTrkTypeTpx2::DeletePoints(int Idx, int Count) {
  const auto size = static_cast<int>(TrkSegExt.size());
  const int first = std::clamp(Idx, 0, size);
  const int last = std::clamp(first + std::max(Count, 0), first, size);
  TrkSegExt.erase(TrkSegExt.begin() + first, TrkSegExt.begin() + last);
}

bool TGPXTrkTypeTpx2::HasData(int Idx) const {
  return TrkSegExt.at(static_cast<size_t>(Idx)).HasAny();
}

void TGPXTrkTypeTpx2::SetToNode(XmlElement Node, int Idx) const {
  TrkSegExt.at(static_cast<size_t>(Idx)).SetToNodeEx(Node);
}

void TGPXTrkTypeTpx2::SetFromNode(XmlNode Node, int Idx) {
  TrkSegExt.at(static_cast<size_t>(Idx)).SetFromNode(Node);
}

} // namespace tarnwick
