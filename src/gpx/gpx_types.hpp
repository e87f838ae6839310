#pragma once

#include "gpx/xml_document.hpp"
#include "gpx/xml_writer.hpp"
#include "support/date_time.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// The optional values of a GPX point.
/// wdfTimeUtc is no value of its own: the time is written with the UTC designator "Z".
enum class TWptTypeDataFlag : uint8_t {
  wdfLatLng,
  wdfTime,
  wdfEle,
  wdfSat,
  wdfCourse,
  wdfSpeed,
  wdfTimeUtc
};

/// A GPX point (way point or track point): position, and the values its flags mark present.
/// Values are stored and written unchanged; nothing converts units.
struct TGPXWptType {
  /// One bit per TWptTypeDataFlag member.
  uint8_t _flags = 0;
  double _lat = 0;
  double _lng = 0;
  double _ele = 0;
  DateTime _time = 0;
  int32_t _sat = 0;
  double _course = 0;
  double _speed = 0;

  /// Empties the flags; the values stay.
  void Create() { _flags = 0; }
  /// Create, then SetLatLng.
  void Create(double lat, double lng) {
    Create();
    SetLatLng(lat, lng);
  }
  /// Stores the position; no flag, since the position is always written.
  void SetLatLng(double lat, double lng) {
    _lat = lat;
    _lng = lng;
  }
  /// Stores the elevation and marks it present.
  void SetEle(double Value) { Put(_ele, Value, TWptTypeDataFlag::wdfEle); }
  /// Stores the time and marks it present.
  void SetTime(DateTime Value) { Put(_time, Value, TWptTypeDataFlag::wdfTime); }
  /// Stores a UTC time, to be written with the designator "Z" (2013-11-24T06:21:52.000Z).
  void SetUtcTime(DateTime Value) {
    SetTime(Value);
    _flags |= Bit(TWptTypeDataFlag::wdfTimeUtc);
  }
  /// Stores the number of satellites and marks it present.
  void SetSat(int32_t Value) { Put(_sat, Value, TWptTypeDataFlag::wdfSat); }
  /// Stores the course and marks it present.
  void SetCourse(double Value) { Put(_course, Value, TWptTypeDataFlag::wdfCourse); }
  /// Stores the speed and marks it present.
  void SetSpeed(double Value) { Put(_speed, Value, TWptTypeDataFlag::wdfSpeed); }
  /// Whether Flag is set.
  bool Have(TWptTypeDataFlag Flag) const { return (_flags & Bit(Flag)) != 0; }

  /// Whether the schemas accept the position: latitude -90 to 90, longitude -180 to 180 (the
  /// writer of strict files gives 180 as -180, the same meridian).
  bool HasSchemaPosition() const {
    return _lat >= -90 && _lat <= 90 && _lng >= -180 && _lng <= 180;
  }

  /// Writes "lat", "lon", then "ele", "time" and "sat" as present into Node; Strict writes a
  /// longitude of 180 as -180, since the schemas want it below 180.
  void SetToNode(XmlElement Node, bool Strict = false) const;
  /// Writes "lat", "lon", "ele" and "time": the part before the values that follow in GPX 1.0.
  void SetHeadToNode(XmlElement Node, bool Strict = false) const;
  /// Writes "sat" when present.
  void SetSatToNode(XmlElement Node) const;
  /// Reads the point from Node, starting with no flags: "lat" and "lon" (required), "ele",
  /// "time", "sat" when not empty. Raises ConvertError for a value that does not convert.
  /// Returns the point's "extensions" child (a null handle when it has none), found in the
  /// same pass, for the track to read its extensions from.
  XmlNode SetFromNode(XmlNode Node);

 private:
  static constexpr uint8_t Bit(TWptTypeDataFlag Flag) {
    return static_cast<uint8_t>(1u << static_cast<unsigned>(Flag));
  }
  template <class T>
  void Put(T& Field, T Value, TWptTypeDataFlag Flag) {
    Field = Value;
    _flags |= Bit(Flag);
  }
};

/// A track point of the one segment of a track.
struct TGPXTrkSeg {
  TGPXWptType trkpt;

  /// The point's SetToNode.
  void SetToNode(XmlElement Node, bool Strict = false) const { trkpt.SetToNode(Node, Strict); }
  /// The point's SetFromNode.
  XmlNode SetFromNode(XmlNode Node) { return trkpt.SetFromNode(Node); }
  /// Writes "speed" ("%.3f") and then "course" ("%.1f"), each when present.
  void SetToNodeEx100(XmlElement Node) const;
  /// The whole point in the element order of the GPX 1.0 schema: position, "ele", "time",
  /// "course", "speed", "sat".
  void SetToNodeStrict100(XmlElement Node) const;
};

/// A link of the metadata; neither written nor read.
struct TGPXLink {
  std::string _href;
  std::string _text;
  std::string _type;
};

/// The copyright of the metadata.
struct TGPXCopyright {
  std::string _author;
  std::string Year;
  std::string License;

  /// True when the author is not empty.
  bool IsExist() const { return !_author.empty(); }
  /// Writes attribute "author" and the children "year" and "license" when not empty.
  void SetToNode(XmlElement Node) const;
  /// Reads the attribute "author" and the texts of "year" and "license".
  void SetFromNode(XmlNode Node);
};

/// The document's metadata.
struct TGPXMetaData {
  std::string Name;
  std::string Desc;
  std::string Author;
  TGPXCopyright Copyright;
  TGPXLink Link;
  std::string Time;
  std::string Keywords;
  /// Not owned; neither written nor read.
  const void* Extensions = nullptr;

  /// True when Name, Desc, Author or Keywords is not empty or the copyright exists.
  bool IsExist() const {
    return !Name.empty() || !Desc.empty() || !Author.empty() || !Keywords.empty() ||
           Copyright.IsExist();
  }
  /// Writes "name", "desc", "author", "copyright" and "keywords" as present into Node, the
  /// "metadata" element.
  void SetToNode(XmlElement Node) const;
  /// The schema-valid form: for GPX 1.1 into the "metadata" element Node with the author as
  /// a person ("author" holding "name"); for GPX 1.0, which has no "metadata", as the root
  /// Node's own "name", "desc", "author" and "keywords" (1.0 has no copyright).
  void SetToNodeStrict(XmlElement Node, bool Version10) const;
  /// Reads "name", "desc", "author" (or the "name" of a structured "author"), "keywords" and
  /// "copyright" from Node; nothing happens for a null Node.
  void SetFromNode(XmlNode Node);
};

/// The way points of a document.
class TGPXWptList {
 public:
  /// Number of way points.
  int Count() const { return static_cast<int>(FWayPoints.size()); }
  /// Resizes the list; new entries have no flags.
  void SetCount(int Value);
  /// Way point Idx; raises ListError outside 0 .. Count - 1.
  const TGPXWptType& Points(int Idx) const;
  /// Replaces way point Idx; raises ListError outside 0 .. Count - 1.
  void SetPoints(int Idx, const TGPXWptType& Value);
  /// Appends a way point read from Node and returns its index.
  int AddNewWayPointFromNode(XmlNode Node);
  /// Appends a way point.
  void Add(const TGPXWptType& Value) { FWayPoints.push_back(Value); }

 private:
  std::vector<TGPXWptType> FWayPoints;
};

} // namespace tarnwick
