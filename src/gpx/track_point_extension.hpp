#pragma once

#include "gpx/gpx_extension.hpp"

#include <cstdint>
#include <vector>

namespace tarnwick {

/// The values of a TrackPointExtension v2 record.
enum class TTpxTypeDataFlag : uint8_t {
  tpxHR,
  tpxCad,
  tpxSpeed,
  tpxCourse,
  tpxBearing,
  tpxATemp,
  tpxWTemp,
  tpxDepth
};

/// Heart rate, cadence, speed and course of one point in Garmin's TrackPointExtension v2.
struct TGPXTrackPointExtension2 {
  /// One bit per TTpxTypeDataFlag member.
  uint8_t _flags = 0;
  // The values, present when their flag is set. (No leading underscore: before a capital it is
  // reserved in C++.)
  uint8_t HR = 0;
  uint8_t Cad = 0;
  float Speed = 0;
  float Course = 0;
  float Bearing = 0;
  float ATemp = 0;
  float WTemp = 0;
  float Depth = 0;

  /// Stores the low eight bits of Value as the heart rate.
  void SetHR(int Value) {
    HR = static_cast<uint8_t>(Value);
    Mark(TTpxTypeDataFlag::tpxHR);
  }
  /// Stores the low eight bits of Value as the cadence.
  void SetCad(int Value) {
    Cad = static_cast<uint8_t>(Value);
    Mark(TTpxTypeDataFlag::tpxCad);
  }
  /// Stores the speed.
  void SetSpeed(float Value) {
    Speed = Value;
    Mark(TTpxTypeDataFlag::tpxSpeed);
  }
  /// Stores the course (the strict GPX 1.1 layout carries the GPS course here).
  void SetCourse(float Value) {
    Course = Value;
    Mark(TTpxTypeDataFlag::tpxCourse);
  }
  /// Whether Flag is set.
  bool Have(TTpxTypeDataFlag Flag) const { return (_flags & Bit(Flag)) != 0; }
  /// Whether any flag is set.
  bool HasAny() const { return _flags != 0; }

  /// Writes "gpxtpx:TrackPointExtension" into Node with "gpxtpx:hr" ("%d"), "gpxtpx:cad"
  /// ("%d"), "gpxtpx:speed" ("%.2f") and "gpxtpx:course" ("%.1f") as present, in the
  /// schema's order.
  void SetToNodeEx(XmlElement Node) const;
  /// Reads the "TrackPointExtension" children of Node in the namespace of version 2 (heart
  /// rate, cadence, speed, course) or version 1 (heart rate, cadence), under any prefix,
  /// starting with no flags. A heart rate or cadence outside 0..255 is left absent; a value
  /// that is no number raises ConvertError naming the file and line.
  void SetFromNode(XmlNode Node);

 private:
  static constexpr uint8_t Bit(TTpxTypeDataFlag Flag) {
    return static_cast<uint8_t>(1u << static_cast<unsigned>(Flag));
  }
  void Mark(TTpxTypeDataFlag Flag) { _flags |= Bit(Flag); }
};

/// The extension class for TrackPointExtension v2: one record per point of its track.
class TGPXTrkTypeTpx2 : public TGPXExtension {
 public:
  /// The class: prefix "gpxtpx", Garmin's TrackPointExtension v2 namespace URI; it also
  /// reads version 1.
  static TGPXExtensionClass Class();

  /// Entry i belongs to point i of the track.
  std::vector<TGPXTrackPointExtension2> TrkSegExt;

  void SetCount(int Value) override;
  void DeletePoints(int Idx, int Count) override;
  bool HasData(int Idx) const override;
  void SetToNode(XmlElement Node, int Idx) const override;
  void SetFromNode(XmlNode Node, int Idx) override;
  /// Record Idx for change in place (not range-checked beyond the vector's own bounds).
  TGPXTrackPointExtension2& DataPtr(int Idx) { return TrkSegExt.at(static_cast<size_t>(Idx)); }
};

} // namespace tarnwick
