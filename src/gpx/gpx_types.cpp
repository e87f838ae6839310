#include "gpx/gpx_types.hpp"

#include "gpx/gpx_number.hpp"
#include "gpx/gpx_time.hpp"
#include "logger/point_list.hpp"
#include "support/number_format.hpp"
#include "support/str_util.hpp"

namespace tarnwick {

namespace {

// Coordinates carry 15 significant digits: all a double holds reliably.
constexpr int kCoordinateDigits = 15;

double ReadCoordinate(XmlNode Node, const char* Name) {
  const std::string_view text = Node.Attribute(Name);
  const auto value = TryGPXDecimal(text);
  if (!value) {
    GPXValueError(std::string("\"") + Name + "\"", text, Node.Location());
  }
  return *value;
}

} // namespace

void TGPXWptType::SetHeadToNode(XmlElement Node, bool Strict) const {
  std::string text;
  AppendSignificant(text, _lat, kCoordinateDigits);
  Node.SetAttribute("lat", text);
  text.clear();
  AppendSignificant(text, _lng, kCoordinateDigits);
  // Decided on the text: a longitude just below 180 may round to it.
  if (Strict && text == "180") {
    text = "-180";
  }
  Node.SetAttribute("lon", text);
  if (Have(TWptTypeDataFlag::wdfEle)) {
    Node.AddTextChild("ele", FormatGPXFixed(_ele, 3));
  }
  if (Have(TWptTypeDataFlag::wdfTime)) {
    std::string text = TUTCDateTime::DateTimeToUTCStr(_time);
    if (Have(TWptTypeDataFlag::wdfTimeUtc)) {
      text += 'Z';
    }
    Node.AddTextChild("time", text);
  }
}

void TGPXWptType::SetSatToNode(XmlElement Node) const {
  if (Have(TWptTypeDataFlag::wdfSat)) {
    std::string text;
    AppendInt(text, _sat);
    Node.AddTextChild("sat", text);
  }
}

void TGPXWptType::SetToNode(XmlElement Node, bool Strict) const {
  SetHeadToNode(Node, Strict);
  SetSatToNode(Node);
}

XmlNode TGPXWptType::SetFromNode(XmlNode Node) {
  Create();
  const double lat = ReadCoordinate(Node, "lat");
  SetLatLng(lat, ReadCoordinate(Node, "lon"));
  const auto [ele, time, sat, ext] =
      Node.FirstChildrenNamed<4>({"ele", "time", "sat", "extensions"});
  // Each value is read with the line of its own element, for the error message.
  std::string scratch;
  const auto read = [&](XmlNode Child, const char* Name, auto Convert) {
    const std::string_view text = Child ? Child.TextView(scratch) : std::string_view();
    if (text.empty()) {
      return decltype(Convert(text))();
    }
    auto result = Convert(text);
    if (!result) {
      GPXValueError("\"" + std::string(Name) + "\"", text, Child.Location());
    }
    return result;
  };
  if (const auto v = read(ele, "ele", [](std::string_view t) { return TryGPXDecimal(t); })) {
    SetEle(*v);
  }
  if (const auto v = read(time, "time", [](std::string_view t) { return TryGPXTime(t); })) {
    SetTime(*v);
  }
  const auto v = read(sat, "sat", [](std::string_view t) -> std::optional<int32_t> {
    const auto n = TryGPXInteger(t);
    if (!n || *n < INT32_MIN || *n > INT32_MAX) {
      return std::nullopt;
    }
    return static_cast<int32_t>(*n);
  });
  if (v) {
    SetSat(*v);
  }
  return ext;
}

void TGPXTrkSeg::SetToNodeEx100(XmlElement Node) const {
  if (trkpt.Have(TWptTypeDataFlag::wdfSpeed)) {
    Node.AddTextChild("speed", FormatGPXFixed(trkpt._speed, 3));
  }
  if (trkpt.Have(TWptTypeDataFlag::wdfCourse)) {
    Node.AddTextChild("course", FormatGPXFixed(trkpt._course, 1));
  }
}

void TGPXTrkSeg::SetToNodeStrict100(XmlElement Node) const {
  trkpt.SetHeadToNode(Node, true);
  if (trkpt.Have(TWptTypeDataFlag::wdfCourse)) {
    Node.AddTextChild("course", FormatGPXFixed(trkpt._course, 1));
  }
  if (trkpt.Have(TWptTypeDataFlag::wdfSpeed)) {
    Node.AddTextChild("speed", FormatGPXFixed(trkpt._speed, 3));
  }
  trkpt.SetSatToNode(Node);
}

void TGPXCopyright::SetToNode(XmlElement Node) const {
  Node.SetAttribute("author", _author);
  if (!Year.empty()) {
    Node.AddTextChild("year", Year);
  }
  if (!License.empty()) {
    Node.AddTextChild("license", License);
  }
}

void TGPXCopyright::SetFromNode(XmlNode Node) {
  _author = std::string(Node.Attribute("author"));
  Year = Node.ChildText("year");
  License = Node.ChildText("license");
}

void TGPXMetaData::SetToNode(XmlElement Node) const {
  if (!Name.empty()) {
    Node.AddTextChild("name", Name);
  }
  if (!Desc.empty()) {
    Node.AddTextChild("desc", Desc);
  }
  if (!Author.empty()) {
    Node.AddTextChild("author", Author);
  }
  if (Copyright.IsExist()) {
    Copyright.SetToNode(Node.AddChild("copyright"));
  }
  if (!Keywords.empty()) {
    Node.AddTextChild("keywords", Keywords);
  }
}

void TGPXMetaData::SetToNodeStrict(XmlElement Node, bool Version10) const {
  if (!Name.empty()) {
    Node.AddTextChild("name", Name);
  }
  if (!Desc.empty()) {
    Node.AddTextChild("desc", Desc);
  }
  if (!Author.empty()) {
    if (Version10) {
      Node.AddTextChild("author", Author);
    } else {
      Node.AddChild("author").AddTextChild("name", Author);
    }
  }
  if (!Version10 && Copyright.IsExist()) {
    Copyright.SetToNode(Node.AddChild("copyright"));
  }
  if (!Keywords.empty()) {
    Node.AddTextChild("keywords", Keywords);
  }
}

void TGPXMetaData::SetFromNode(XmlNode Node) {
  if (!Node) {
    return;
  }
  Name = Node.ChildText("name");
  Desc = Node.ChildText("desc");
  // GPX 1.1 makes the author a person with a name; older files give the name as text.
  const XmlNode author = Node.FindChild("author");
  if (author && author.HasChildElements()) {
    Author = author.ChildText("name");
  } else {
    Author = author ? author.Text() : std::string();
  }
  Keywords = Node.ChildText("keywords");
  if (const XmlNode copyright = Node.FindChild("copyright")) {
    Copyright.SetFromNode(copyright);
  }
}

void TGPXWptList::SetCount(int Value) {
  FWayPoints.resize(static_cast<size_t>(std::max(Value, 0)));
}

const TGPXWptType& TGPXWptList::Points(int Idx) const {
  if (Idx < 0 || Idx >= Count()) {
    ListIndexError(Idx);
  }
  return FWayPoints[static_cast<size_t>(Idx)];
}

void TGPXWptList::SetPoints(int Idx, const TGPXWptType& Value) {
  if (Idx < 0 || Idx >= Count()) {
    ListIndexError(Idx);
  }
  FWayPoints[static_cast<size_t>(Idx)] = Value;
}

int TGPXWptList::AddNewWayPointFromNode(XmlNode Node) {
  TGPXWptType point;
  point.SetFromNode(Node);
  FWayPoints.push_back(point);
  return Count() - 1;
}

} // namespace tarnwick
