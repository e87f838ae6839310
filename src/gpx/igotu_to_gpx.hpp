#pragma once

#include "gpx/gpx_file.hpp"
#include "logger/tracks.hpp"
#include "support/progress.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

/// How tracks are written as GPX.
struct GPXPreferences {
  /// "1.0" or "1.1".
  std::string Version = "1.1";
  /// Whether heart rate, cadence and speed samples go out as TrackPointExtension v2.
  bool OutputExtensions = true;
  /// Whether the file must be valid against the published schemas (TGPXFile::Strict). In
  /// GPX 1.1 the course and the GPS speed then travel in the extension (so without
  /// extensions they are left out), and values the schemas forbid (heart rate 0, cadence
  /// 255, a course beyond 360) are left out, as are points with an impossible position.
  bool Strict = false;
  /// Whether point times carry the UTC designator "Z". They are UTC either way (the logger's
  /// clock); without it, readers that take a time without a zone as local time misplace the
  /// track by the zone's offset.
  bool UtcDesignator = false;
};

/// Converts decoded logger tracks into one GPX file: one "trk" per track named after its
/// start ("yyyymmdd-hhnn"), the extension samples matched to the points by time, and the
/// way points of all tracks in track order.
class TIGotUDataToGPX : public IProgressProcess {
 public:
  /// Converts Track (not owned; it must outlive the conversion) into AFileName.
  TIGotUDataToGPX(const TIGotUTrack& Track, std::string AFileName, GPXPreferences Preferences = {});
  /// Converts Tracks, in order, into one file.
  TIGotUDataToGPX(std::vector<const TIGotUTrack*> Tracks, std::string AFileName,
                  GPXPreferences Preferences = {});

  /// Builds the document and writes it, reporting to ProgressInterface (may be null). True
  /// when the file is written; false when the sink asked to abort, in which case no file is
  /// written and an existing one stays. Errors raise: a track without points (its start time
  /// does not exist), an unsupported version, a file that cannot be written.
  bool Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) override;

  /// The document Execute writes, without a progress sink.
  std::unique_ptr<TGPXFile> CreateDocument() const;
  /// The points the last Execute left out of a strict file for an impossible position.
  const PositionsLeftOut& LeftOut() const { return leftOut_; }

  /// The GPX point of a logger point: position, time, elevation (the pressure elevation when
  /// the model has one) and, when the model reports satellites, their number.
  static TGPXWptType MakePoint(const TIGotUTrackPoint& Point, bool UtcDesignator = false);
  /// The track's name: its start as "yyyymmdd-hhnn" (20131124-0621). Raises ListError for a
  /// track without points.
  static std::string TrackName(const TIGotUTrack& Track);

 private:
  void AddTrack(TGPXFile& Doc, const TIGotUTrack& Track) const;

  std::vector<const TIGotUTrack*> FTracks;
  std::string FFileName;
  GPXPreferences preferences_;
  PositionsLeftOut leftOut_;
};

} // namespace tarnwick
