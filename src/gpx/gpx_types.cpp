#include "gpx/gpx_types.hpp"

#include "gpx/gpx_number.hpp"
#include "logger/point_list.hpp"
#include "support/number_format.hpp"
#include "support/str_util.hpp"

namespace tarnwick {

namespace {

// Coordinates carry 15 significant digits: all a double holds reliably.
constexpr int kCoordinateDigits = 15;

// The time of a point. The form GPX files use (2013-11-24T06:21:52[.fff][Z]) is read here
// directly, with the same result StrToDateTime gives; every other text goes to
// StrToDateTime, which also raises the errors.
TDateTime ReadTime(std::string_view Text) {
  const auto digits = [&](size_t pos, size_t len, int& value) {
    value = 0;
    for (size_t i = pos; i < pos + len; ++i) {
      if (Text[i] < '0' || Text[i] > '9') {
        return false;
      }
      value = value * 10 + (Text[i] - '0');
    }
    return true;
  };
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  bool plain = Text.size() >= 19 && Text[4] == '-' && Text[7] == '-' && Text[10] == 'T' &&
               Text[13] == ':' && Text[16] == ':' && digits(0, 4, y) && digits(5, 2, mo) &&
               digits(8, 2, d) && digits(11, 2, h) && digits(14, 2, mi) && digits(17, 2, sec);
  size_t pos = 19;
  if (plain && pos < Text.size() && Text[pos] == '.') {
    size_t end = pos + 1;
    while (end < Text.size() && Text[end] >= '0' && Text[end] <= '9') {
      ++end;
    }
    plain = end > pos + 1;
    for (size_t i = 0; i < 3; ++i) {
      ms = ms * 10 + (pos + 1 + i < end ? Text[pos + 1 + i] - '0' : 0);
    }
    pos = end;
  }
  if (plain && pos < Text.size() && Text[pos] == 'Z') {
    ++pos;
  }
  if (plain && pos == Text.size() && IsValidDate(y, mo, d) && h < 24 && mi < 60 && sec < 60) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, sec, ms);
  }
  return TUTCDateTime::StrToDateTime(Text);
}

double ReadCoordinate(TXmlNode Node, const char* Name) {
  const std::string_view text = Node.Attribute(Name);
  const auto value = TryGPXDecimal(text);
  if (!value) {
    GPXValueError(std::string("\"") + Name + "\"", text, Node.Location());
  }
  return *value;
}

} // namespace

void TGPXWptType::SetHeadToNode(TXmlElement Node) const {
  std::string text;
  AppendSignificant(text, _lat, kCoordinateDigits);
  Node.SetAttribute("lat", text);
  text.clear();
  AppendSignificant(text, _lng, kCoordinateDigits);
  Node.SetAttribute("lon", text);
  if (Have(TWptTypeDataFlag::wdfEle)) {
    Node.AddTextChild("ele", FormatGPXFixed(_ele, 3));
  }
  if (Have(TWptTypeDataFlag::wdfTime)) {
    Node.AddTextChild("time", TUTCDateTime::DateTimeToUTCStr(_time));
  }
}

void TGPXWptType::SetSatToNode(TXmlElement Node) const {
  if (Have(TWptTypeDataFlag::wdfSat)) {
    std::string text;
    AppendInt(text, _sat);
    Node.AddTextChild("sat", text);
  }
}

void TGPXWptType::SetToNode(TXmlElement Node) const {
  SetHeadToNode(Node);
  SetSatToNode(Node);
}

void TGPXWptType::SetFromNode(TXmlNode Node) {
  Create();
  SetLatLng(ReadCoordinate(Node, "lat"), ReadCoordinate(Node, "lon"));
  if (const std::string ele = Node.ChildText("ele"); !ele.empty()) {
    const auto value = TryGPXDecimal(ele);
    if (!value) {
      GPXValueError("\"ele\"", ele, Node.Location());
    }
    SetEle(*value);
  }
  if (const std::string time = Node.ChildText("time"); !time.empty()) {
    SetTime(ReadTime(TrimXmlBlanks(time)));
  }
  if (const std::string sat = Node.ChildText("sat"); !sat.empty()) {
    const auto value = TryGPXInteger(sat);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
      GPXValueError("\"sat\"", sat, Node.Location());
    }
    SetSat(static_cast<int32_t>(*value));
  }
}

void TGPXTrkSeg::SetToNodeEx100(TXmlElement Node) const {
  if (trkpt.Have(TWptTypeDataFlag::wdfSpeed)) {
    Node.AddTextChild("speed", FormatGPXFixed(trkpt._speed, 3));
  }
  if (trkpt.Have(TWptTypeDataFlag::wdfCourse)) {
    Node.AddTextChild("course", FormatGPXFixed(trkpt._course, 1));
  }
}

void TGPXTrkSeg::SetToNodeStrict100(TXmlElement Node) const {
  trkpt.SetHeadToNode(Node);
  if (trkpt.Have(TWptTypeDataFlag::wdfCourse)) {
    Node.AddTextChild("course", FormatGPXFixed(trkpt._course, 1));
  }
  if (trkpt.Have(TWptTypeDataFlag::wdfSpeed)) {
    Node.AddTextChild("speed", FormatGPXFixed(trkpt._speed, 3));
  }
  trkpt.SetSatToNode(Node);
}

void TGPXCopyright::SetToNode(TXmlElement Node) const {
  Node.SetAttribute("author", _author);
  if (!Year.empty()) {
    Node.AddTextChild("year", Year);
  }
  if (!License.empty()) {
    Node.AddTextChild("license", License);
  }
}

void TGPXCopyright::SetFromNode(TXmlNode Node) {
  _author = std::string(Node.Attribute("author"));
  Year = Node.ChildText("year");
  License = Node.ChildText("license");
}

void TGPXMetaData::SetToNode(TXmlElement Node) const {
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

void TGPXMetaData::SetToNodeStrict(TXmlElement Node, bool Version10) const {
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

void TGPXMetaData::SetFromNode(TXmlNode Node) {
  if (!Node) {
    return;
  }
  Name = Node.ChildText("name");
  Desc = Node.ChildText("desc");
  // GPX 1.1 makes the author a person with a name; older files give the name as text.
  const TXmlNode author = Node.FindChild("author");
  if (author && author.HasChildElements()) {
    Author = author.ChildText("name");
  } else {
    Author = author ? author.Text() : std::string();
  }
  Keywords = Node.ChildText("keywords");
  if (const TXmlNode copyright = Node.FindChild("copyright")) {
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

int TGPXWptList::AddNewWayPointFromNode(TXmlNode Node) {
  TGPXWptType point;
  point.SetFromNode(Node);
  FWayPoints.push_back(point);
  return Count() - 1;
}

} // namespace tarnwick
