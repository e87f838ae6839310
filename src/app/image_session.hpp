#pragma once

#include "analysis/track_series.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "logger/year_era.hpp"
#include "support/progress.hpp"
#include "support/time_zone.hpp"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::app {

/// What a GPX export wrote.
struct ExportResult {
  bool Done = false; ///< false: cancelled, nothing written
  std::string FileName;
  int Tracks = 0;
  size_t Points = 0; ///< written, without those left out
  int WayPoints = 0; ///< written, without those left out
  PositionsLeftOut LeftOut;

  /// Counts what Tracks put into the file, less LeftOut.
  void CountWritten(const std::vector<const TIGotUTrack*>& Tracks);

  /// "wrote trip.gpx: 1 track, 2349 points, 0 way points", and ", 2 left out (impossible
  /// position)" when a strict file left points out. Target names the file as the reader knows
  /// it; Thousands, when not empty, groups the point count ("2,349").
  std::string Summary(const std::string& Target, const std::string& Thousands = {}) const;
};

/// One memory image as both programs work with it: the image, its decoded points, its name,
/// what its load warned about, the year era its records are read by and the zone its tables
/// show. Opening follows one set of rules, so that what the command line refuses the viewer
/// refuses with the same message. Without Qt; one thread at a time.
class ImageSession {
 public:
  /// A session without an image, reading years by EraSetting (see SetYearEra), times in UTC.
  explicit ImageSession(std::string EraSetting = "auto");
  ~ImageSession();
  ImageSession(const ImageSession&) = delete;
  ImageSession& operator=(const ImageSession&) = delete;

  /// Opens the pair that Base names (trip, trip.dat or trip.bin). Refused, with an error whose
  /// message names the file: a missing or unreadable status or block file, either not being a
  /// regular file, a status file that holds none of the logger's status sections, a bad
  /// "DumpStr". What is doubtful but loads (a block file from another save) is in Warnings. On
  /// failure the session keeps what it had.
  void Open(const std::string& Base);
  /// Opens the GPX file FileName in place of what the session held: its tracks become the
  /// series, with no image. Refused, with an error whose message names the file: a file that
  /// cannot be read or is not GPX, or one without a track point. Tracks without points or
  /// without times load with a warning. On failure the session keeps what it had.
  void OpenGpx(const std::string& FileName);
  /// Takes a finished download. It has no name until it is saved, and counts as unsaved.
  void Adopt(std::unique_ptr<TIGotUWholeData> Image);
  /// Saves the image as the pair Base names (see TIGotUWholeData::SaveToFile); the session is
  /// then named after it and saved. Errors pass to the caller, the session unchanged.
  void Save(const std::string& Base);
  /// Drops the image.
  void Close();
  /// Hands the image over (null without one) and drops the rest, as Close.
  std::unique_ptr<TIGotUWholeData> Release();

  bool HasImage() const { return image_ != nullptr; }
  /// Whether the session shows a GPX file (Name names it; there is no image).
  bool HasGpx() const { return gpx_; }
  /// The image and its decoded form, or null.
  const TIGotUWholeData* Image() const { return image_.get(); }
  const TIGotUPoints* Points() const { return points_.get(); }
  /// The base name the image was opened or saved as (as given); empty for an unsaved download.
  const std::string& Name() const { return name_; }
  /// What the last Open found doubtful, one sentence each naming the files.
  const std::vector<std::string>& Warnings() const { return warnings_; }
  /// A download that has not been saved yet.
  bool Unsaved() const { return unsaved_; }
  /// Whether the image came from a logger in this session (rather than from files).
  bool FromDownload() const { return fromDownload_; }

  /// Reads the records' years by Setting ("auto", "recorded" or a first year) from now on;
  /// raises ConvertError for another text, keeping the era it had.
  void SetYearEra(const std::string& Setting);
  const std::string& YearEraSetting() const { return eraSetting_; }
  /// The era in force for the current image.
  const YearEra& Era() const { return era_; }

  /// The zone whose wall clock the tables show.
  void SetZone(const TimeZone& Zone) { zone_ = Zone; }
  const TimeZone& Zone() const { return zone_; }

  /// One series per track, in track order, read by the era in force (a GPX file's as it
  /// holds them; empty without either).
  /// Built when first asked for and kept until the image or its era changes, so the panes
  /// that draw a track share one copy.
  const std::vector<TrackSeries>& Series() const;

  /// Track Number (from 1); raises an error naming the number of tracks otherwise.
  const TIGotUTrack& TrackByNumber(int Number) const;

  /// Raises unless Target may be written as a GPX file of this image: a regular file or
  /// nothing, in a writable folder, and neither file of the image.
  void CheckExportTarget(const std::string& Target) const { CheckGpxTarget(Target, name_); }
  /// The same for the image that Base names (empty: an image without files), before it is
  /// read.
  static void CheckGpxTarget(const std::string& Target, const std::string& Base);
  /// One GPX file name per track in Dir, as "export --split" names them: the track's start
  /// as "yyyymmdd-hhnn", with "-2", "-3", ... for a start that repeats.
  static std::vector<std::string> SplitNames(const std::vector<const TIGotUTrack*>& Tracks,
                                             const std::string& Dir);
  /// The file name a window suggests for Tracks: the first track's start, "yyyymmdd-hhnn.gpx".
  static std::string SuggestedGpxName(const std::vector<const TIGotUTrack*>& Tracks);
  /// Writes Tracks into one GPX file FileName by Preferences, reporting to Progress (may be
  /// null); Cancel, when given, is read at each report. A cancelled export writes nothing.
  /// Errors pass to the caller.
  static ExportResult Export(const std::vector<const TIGotUTrack*>& Tracks,
                             const std::string& FileName, const GPXPreferences& Preferences,
                             const std::shared_ptr<IProgressInterface>& Progress,
                             const std::atomic<bool>* Cancel = nullptr);

 private:
  void Decode();

  std::unique_ptr<TIGotUWholeData> image_;
  std::unique_ptr<TIGotUPoints> points_;
  std::string name_;
  std::vector<std::string> warnings_;
  bool unsaved_ = false;
  bool fromDownload_ = false;
  bool gpx_ = false;
  std::string eraSetting_;
  YearEra era_;
  TimeZone zone_;
  mutable std::optional<std::vector<TrackSeries>> series_;
};

} // namespace tarnwick::app
