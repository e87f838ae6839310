#pragma once

#include "analysis/position_at_time.hpp"
#include "analysis/track_series.hpp"
#include "photos/photo_metadata.hpp"
#include "support/progress.hpp"
#include "support/time_zone.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::app {

/// How photos are matched to the tracks and what is written.
struct GeotagOptions {
  /// The track to use, from 1; empty: all tracks.
  std::optional<int> Track;
  /// The zone the camera's clock was set to, for photos without OffsetTimeOriginal.
  TimeZone CameraZone;
  /// How far the camera's clock was off: camera time minus true time, in seconds (a camera
  /// 90 s fast has +90).
  double ClockOffsetSeconds = 0;
  /// The widest gap between two track points that is interpolated, and the farthest a photo
  /// may be from the nearest point, in seconds.
  double MaxGapSeconds = 1800;
  /// Write nothing; the rows say what would be done.
  bool DryRun = false;
  /// Tag photos that already have a position too.
  bool Overwrite = false;
  /// Write NAME.xmp beside each photo and leave the photo alone.
  bool Sidecar = false;
  /// Keep each original as NAME.original.
  bool Backup = false;
  /// CollectPhotos descends into sub-folders (the job itself takes a list of files).
  bool Recursive = false;
  /// Give each rewritten photo back its modification time.
  bool KeepModifiedTime = true;
};

/// What was (or would be) done with one photo.
enum class GeotagAction {
  Tag,                ///< planned: the photo gets the tags
  Tagged,             ///< the tags were written into the photo
  WouldTag,           ///< a dry run: the photo would be tagged (or its sidecar written)
  SidecarWritten,     ///< NAME.xmp written, the photo left alone
  SkippedHasPosition, ///< the photo has a position and Overwrite was not asked for
  NoTime,             ///< the photo has no DateTimeOriginal
  OutOfRange,         ///< no track point within the gap
  NotAPhoto,          ///< not a photo exiv2 knows, or a file that could not be read
  Failed,             ///< the write failed; the photo is untouched
  Cancelled,          ///< not reached before a cancel; the photo is untouched
};

/// "tag", "tagged", "would-tag", "sidecar", "skipped-has-position", "no-time", "out-of-range",
/// "not-a-photo", "failed", "cancelled": the action column of the report.
const char* GeotagActionText(GeotagAction Action);

/// Whether the action is one the user asked for (tagged, or skipped as asked) rather than a
/// photo that could not be tagged: the command's exit status.
bool GeotagActionIsSuccess(GeotagAction Action);

/// One photo's line of the report and row of the viewer's preview.
struct GeotagRow {
  /// The file as given (not escaped; TsvLine escapes it).
  std::string File;
  /// The camera's time as the photo holds it ("2026-06-20 10:15:02", ".500" with sub-seconds,
  /// " +02:00" with an offset); empty without one.
  std::string CameraTime;
  /// The moment matched with the tracks, after zone and clock offset: ISO UTC
  /// ("2026-06-20T08:13:32.500Z"); empty without a camera time.
  std::string UtcTime;
  /// Where the tracks put the photo; empty without a time. OutOfRange when too far.
  std::optional<PositionAtTime> Position;
  GeotagAction Action = GeotagAction::NotAPhoto;
  /// Why a photo was not tagged, or a note (read-only format: sidecar written); printable.
  std::string Detail;
  /// The index of the photo in the job's list.
  size_t Photo = 0;
  /// The matched moment in UTC milliseconds since 1970; empty without a camera time.
  std::optional<int64_t> UtcMs;
};

/// Counts of a finished or planned run.
struct GeotagSummary {
  size_t Photos = 0;
  size_t Tagged = 0;  ///< Tag, Tagged, WouldTag, SidecarWritten
  size_t Skipped = 0; ///< SkippedHasPosition
  size_t NoTime = 0;
  size_t OutOfRange = 0;
  size_t NotAPhoto = 0;
  size_t Failed = 0;
  size_t Cancelled = 0;

  /// Every photo tagged or skipped as asked.
  bool AllDone() const { return Tagged + Skipped == Photos; }
  /// "500 photos: 498 tagged, 1 skipped (has a position), 1 out of range"; DryRun says
  /// "would be tagged".
  std::string Text(bool DryRun) const;
};

/// The photos that Paths name, in a stable order: a file as given; a folder's files (and,
/// with Recursive, its sub-folders' files), sorted by name, without hidden files ("."
/// first), temporaries of an interrupted write ("~" or ".tmp" last, "NAME.original"
/// backups, ".xmp" sidecars). What cannot be listed (a missing path, a folder that cannot be
/// read, a link or device given by name) goes into Problems as a printable sentence. A file
/// named twice is listed once.
std::vector<std::string> CollectPhotos(const std::vector<std::string>& Paths, bool Recursive,
                                       std::vector<std::string>& Problems);

/// Geotagging a list of photos from tracks: the photos' metadata is read once, then any
/// number of plans are made cheaply (the viewer's live preview), then one is applied.
class GeotagJob {
 public:
  /// Reads every photo's metadata (the slow part, on two threads; Apply writes on four), reporting
  /// per photo to Progress (may be null); Cancel, when given, is read at each report. After a
  /// cancel the job is incomplete (Complete() false) and should be dropped. Series is one entry per
  /// track, as ImageSession::Series() gives them.
  GeotagJob(std::vector<TrackSeries> Series, std::vector<std::string> Photos,
            const std::shared_ptr<IProgressInterface>& Progress = nullptr,
            const std::atomic<bool>* Cancel = nullptr);
  ~GeotagJob();
  GeotagJob(const GeotagJob&) = delete;
  GeotagJob& operator=(const GeotagJob&) = delete;

  /// False when the reading was cancelled.
  bool Complete() const { return complete_; }
  const std::vector<TrackSeries>& Series() const { return series_; }
  /// What was read of each photo, in the order given.
  const std::vector<PhotoInfo>& Photos() const { return photos_; }

  /// The camera's time of photo Index converted to UTC by Options (offset, zone, clock
  /// offset), in milliseconds since 1970; empty without a camera time.
  std::optional<int64_t> PhotoUtcMs(size_t Index, const GeotagOptions& Options) const;
  /// The clock offset that puts photo Index at the true moment TrueUtcMs (a photo of the
  /// GPS's screen, or of a place found on the map), with Options' zone; empty without a
  /// camera time.
  std::optional<double> ClockOffsetFor(size_t Index, int64_t TrueUtcMs,
                                       const GeotagOptions& Options) const;

  /// What Apply would do, one row per photo, without touching any file: Tag for the photos
  /// to tag (WouldTag in a dry run). Cheap. Raises Error for a track number the job has
  /// not.
  std::vector<GeotagRow> Plan(const GeotagOptions& Options) const;
  /// Does what Plan says (nothing in a dry run), reporting per photo to Progress (may be
  /// null); Cancel, when given, is read between photos. A cancel stops between photos: each
  /// photo is either done or untouched, and those not reached are Cancelled. A photo whose
  /// write fails is Failed with the reason; the others go on. Returns the final rows.
  std::vector<GeotagRow> Apply(const GeotagOptions& Options,
                               const std::shared_ptr<IProgressInterface>& Progress = nullptr,
                               const std::atomic<bool>* Cancel = nullptr);

  /// The report's header line (tab-separated, no newline).
  static std::string TsvHeader();
  /// A row as a report line (tab-separated, no newline): the file name with control
  /// characters escaped, times, degrees to 7 decimals, metres to 1, seconds to 1, the action
  /// and the detail; empty fields where there is no value.
  static std::string TsvLine(const GeotagRow& Row);
  static GeotagSummary Summarize(const std::vector<GeotagRow>& Rows);

 private:
  std::vector<TrackSeries> series_;
  std::vector<PhotoInfo> photos_;
  TrackTimeIndex index_;
  bool complete_ = true;
};

} // namespace tarnwick::app
