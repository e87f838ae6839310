#include "app/geotag_job.hpp"

#include "support/date_time.hpp"
#include "support/errors.hpp"
#include "support/os_files.hpp"
#include "support/str_util.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace tarnwick::app {

namespace {

// Reading is mostly exiv2's parsing: one thread per core of the two-core machines this is
// measured on. Writing mostly waits for the disk to flush each photo (the fsync that makes a
// rename safe), which takes no CPU, so more writers than cores keep the disk busy: 100 photos
// of 3 MB took 10-13 s with one writer, 3.3-4.6 s with two, 2.3-2.5 s with four and 2.1-2.4 s
// with eight (bench/geotag_vs_exiftool.sh); each writer holds a few copies of one photo.
constexpr size_t kReadThreads = 2;
constexpr size_t kWriteThreads = 4;

constexpr int64_t kMsPerDay = 86400000;

int64_t UnixEpochMs() {
  static const int64_t epoch = DateTimeToMilliseconds(EncodeDate(1970, 1, 1));
  return epoch;
}

DateTime DateTimeOfUnixMs(int64_t Ms) {
  return static_cast<double>(Ms + UnixEpochMs()) / static_cast<double>(kMsPerDay);
}

std::string Lower(std::string_view Text) {
  std::string s(Text);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool EndsWith(std::string_view Text, std::string_view End) {
  return Text.size() >= End.size() && Text.substr(Text.size() - End.size()) == End;
}

// The extensions of the formats a camera writes that exiv2 reads: what a folder is searched
// for, as exiftool searches one. A file named on its own is taken whatever its name.
bool HasPhotoExtension(std::string_view Name) {
  static const std::set<std::string, std::less<>> kExtensions = {
      "jpg", "jpeg", "jpe", "tif", "tiff", "dng",  "nef",  "nrw",  "cr2", "cr3", "crw",
      "arw", "sr2",  "srf", "orf", "rw2",  "raw",  "pef",  "srw",  "raf", "mrw", "erf",
      "3fr", "rwl",  "x3f", "png", "webp", "heic", "heif", "avif", "jxl", "exv"};
  const size_t dot = Name.rfind('.');
  if (dot == std::string_view::npos) {
    return false;
  }
  return kExtensions.count(Lower(Name.substr(dot + 1))) != 0;
}

// What a folder holds that is no photo of the user's although its name may look like one:
// hidden files (and the hidden temporaries of an interrupted write), editors' backups, our
// own backups and sidecars.
bool IsLeftOutOfFolders(std::string_view Name) {
  const std::string lower = Lower(Name);
  return lower.empty() || lower.front() == '.' || lower.back() == '~' || EndsWith(lower, ".tmp") ||
         EndsWith(lower, ".original") || EndsWith(lower, ".xmp");
}

std::string Join(const std::string& Folder, const std::string& Name) {
  if (!Folder.empty() && IsPathSeparator(Folder.back())) {
    return Folder + Name;
  }
  return Folder + "/" + Name;
}

void CollectFolder(const std::string& Folder, bool Recursive, std::vector<std::string>& Files,
                   std::vector<std::string>& Problems) {
  auto listed = ListFolder(Folder);
  if (!listed) {
    Problems.push_back("Cannot read folder \"" + EscapeControls(Folder) +
                       "\": " + SystemErrorText(listed.Error));
    return;
  }
  std::vector<std::string> names = std::move(listed.Value);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (IsLeftOutOfFolders(name)) {
      continue;
    }
    const std::string path = Join(Folder, name);
    const auto status = StatusOf(path, false);
    if (!status) {
      Problems.push_back("Cannot read \"" + EscapeControls(path) +
                         "\": " + SystemErrorText(status.Error));
      continue;
    }
    if (status.Value.Kind == FileKind::Folder) {
      if (Recursive) {
        CollectFolder(path, Recursive, Files, Problems);
      }
    } else if (HasPhotoExtension(name)) {
      if (status.Value.Kind == FileKind::Regular) {
        Files.push_back(path);
      } else {
        Problems.push_back("\"" + EscapeControls(path) + "\" is " +
                           FileKindText(status.Value.Kind) + ", left alone");
      }
    }
  }
}

std::string FormatUtc(int64_t Ms) {
  const bool withMs = Ms % 1000 != 0;
  return FormatDateTime(withMs ? "yyyy-mm-ddThh:nn:ss.zzzZ" : "yyyy-mm-ddThh:nn:ssZ",
                        DateTimeOfUnixMs(Ms));
}

// Runs Work(i) for i in 0..Count-1 on Threads threads, the calling thread among them, which
// alone reports to Progress (a window's sink may expect its own thread). Once a cancel is seen
// no further index is handed out, and every index handed out is finished: Started tells which
// were. An error of Work stops the others and passes to the caller.
void RunParallel(size_t Threads, size_t Count, const std::function<void(size_t)>& Work,
                 const std::shared_ptr<IProgressInterface>& Progress,
                 const std::atomic<bool>* Cancel, std::vector<char>& Started) {
  Started.assign(Count, 0);
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<bool> stop{false};
  const auto cancelled = [&] { return stop.load() || (Cancel != nullptr && Cancel->load()); };
  const auto take = [&]() -> std::optional<size_t> {
    if (cancelled()) {
      return std::nullopt;
    }
    const size_t i = next.fetch_add(1);
    if (i >= Count) {
      return std::nullopt;
    }
    Started[i] = 1;
    return i;
  };
  const auto report = [&] {
    if (Progress != nullptr) {
      bool abort = false;
      Progress->OnProgress(static_cast<int32_t>(done.load()), static_cast<int32_t>(Count), abort);
      if (abort) {
        stop = true;
      }
    }
  };
  std::mutex errorLock;
  std::exception_ptr helperError;
  std::vector<std::thread> helpers;
  const auto joinAll = [&helpers] {
    for (std::thread& t : helpers) {
      t.join();
    }
  };
  // The first report comes before any work, so that a cancel there starts nothing.
  report();
  try {
    const size_t extra = std::min(Threads, Count) > 1 ? std::min(Threads, Count) - 1 : 0;
    for (size_t h = 0; h < extra && !cancelled(); ++h) {
      helpers.emplace_back([&] {
        try {
          while (const auto i = take()) {
            Work(*i);
            done.fetch_add(1);
          }
        } catch (...) {
          const std::lock_guard<std::mutex> lock(errorLock);
          helperError = std::current_exception();
          stop = true;
        }
      });
    }
    while (const auto i = take()) {
      Work(*i);
      done.fetch_add(1);
      report();
    }
  } catch (...) {
    stop = true;
    joinAll();
    throw;
  }
  joinAll();
  if (helperError) {
    std::rethrow_exception(helperError);
  }
  report();
}

} // namespace

const char* GeotagActionText(GeotagAction Action) {
  switch (Action) {
  case GeotagAction::Tag:
    return "tag";
  case GeotagAction::Tagged:
    return "tagged";
  case GeotagAction::WouldTag:
    return "would-tag";
  case GeotagAction::SidecarWritten:
    return "sidecar";
  case GeotagAction::SkippedHasPosition:
    return "skipped-has-position";
  case GeotagAction::NoTime:
    return "no-time";
  case GeotagAction::OutOfRange:
    return "out-of-range";
  case GeotagAction::NotAPhoto:
    return "not-a-photo";
  case GeotagAction::Failed:
    return "failed";
  case GeotagAction::Cancelled:
    return "cancelled";
  }
  return "?";
}

bool GeotagActionIsSuccess(GeotagAction Action) {
  switch (Action) {
  case GeotagAction::Tag:
  case GeotagAction::Tagged:
  case GeotagAction::WouldTag:
  case GeotagAction::SidecarWritten:
  case GeotagAction::SkippedHasPosition:
    return true;
  default:
    return false;
  }
}

std::string GeotagSummary::Text(bool DryRun) const {
  std::string s = fmt::format("{} photo{}: {} {}", Photos, Photos == 1 ? "" : "s", Tagged,
                              DryRun ? "would be tagged" : "tagged");
  const auto add = [&s](size_t Count, const char* What) {
    if (Count != 0) {
      s += fmt::format(", {} {}", Count, What);
    }
  };
  add(Skipped, "skipped (has a position)");
  add(NoTime, "without a time");
  add(OutOfRange, "out of the tracks' range");
  add(NotAPhoto, NotAPhoto == 1 ? "not a photo" : "not photos");
  add(Failed, "failed");
  add(Cancelled, "cancelled");
  return s;
}

std::vector<std::string> CollectPhotos(const std::vector<std::string>& Paths, bool Recursive,
                                       std::vector<std::string>& Problems) {
  std::vector<std::string> files;
  for (const std::string& path : Paths) {
    // A folder named on the command line is followed even through a link: the user chose it.
    const auto status = StatusOf(path, true);
    if (!status) {
      Problems.push_back("Cannot read \"" + EscapeControls(path) +
                         "\": " + SystemErrorText(status.Error));
    } else if (status.Value.Kind == FileKind::Folder) {
      CollectFolder(path, Recursive, files, Problems);
    } else {
      // Whatever it is: ReadPhotoInfo tells a link, a device or a text file from a photo.
      files.push_back(path);
    }
  }
  // One file named twice (as itself and inside its folder) is tagged once.
  std::vector<std::string> unique;
  std::set<std::string> seen;
  for (std::string& f : files) {
    if (seen.insert(f).second) {
      unique.push_back(std::move(f));
    }
  }
  return unique;
}

GeotagJob::GeotagJob(std::vector<TrackSeries> Series, std::vector<std::string> Photos,
                     const std::shared_ptr<IProgressInterface>& Progress,
                     const std::atomic<bool>* Cancel)
    : series_(std::move(Series)), index_(series_) {
  photos_.resize(Photos.size());
  if (Progress != nullptr) {
    Progress->SetMessage1("Reading photos");
  }
  std::vector<char> started;
  RunParallel(
      kReadThreads, Photos.size(),
      [&](size_t i) {
        try {
          photos_[i] = ReadPhotoInfo(Photos[i]);
        } catch (const std::exception& e) {
          // A file that cannot be read is reported with the rest, not the end of the job.
          photos_[i].File = Photos[i];
          photos_[i].Kind = PhotoKind::NotAPhoto;
          photos_[i].Note = EscapeControls(e.what());
        }
      },
      Progress, Cancel, started);
  complete_ = std::all_of(started.begin(), started.end(), [](char c) { return c != 0; });
}

GeotagJob::~GeotagJob() = default;

std::optional<int64_t> GeotagJob::PhotoUtcMs(size_t Index, const GeotagOptions& Options) const {
  const PhotoInfo& p = photos_.at(Index);
  if (!p.Captured) {
    return std::nullopt;
  }
  const CaptureTime& c = *p.Captured;
  int64_t utc = 0;
  if (const auto fromOffset = c.UtcMs()) {
    utc = *fromOffset;
  } else {
    // The zone's offset at that wall-clock time, in whole minutes as zones have them, so that
    // the milliseconds pass through exactly. TimeZone::ToUtc reads a time the clocks skip
    // with the offset before the change and one they show twice as the first of the two.
    const int64_t localMinute = c.LocalMs - ((c.LocalMs % 60000) + 60000) % 60000;
    const DateTime local = DateTimeOfUnixMs(localMinute);
    const DateTime asUtc = Options.CameraZone.ToUtc(local);
    const double offsetMinutes = std::round((local - asUtc) * 24 * 60);
    utc = c.LocalMs - static_cast<int64_t>(offsetMinutes) * 60000;
  }
  return utc - std::llround(Options.ClockOffsetSeconds * 1000);
}

std::optional<double> GeotagJob::ClockOffsetFor(size_t Index, int64_t TrueUtcMs,
                                                const GeotagOptions& Options) const {
  GeotagOptions noOffset = Options;
  noOffset.ClockOffsetSeconds = 0;
  const auto camera = PhotoUtcMs(Index, noOffset);
  if (!camera) {
    return std::nullopt;
  }
  return static_cast<double>(*camera - TrueUtcMs) / 1000;
}

std::vector<GeotagRow> GeotagJob::Plan(const GeotagOptions& Options) const {
  if (Options.Track &&
      (*Options.Track < 1 || static_cast<size_t>(*Options.Track) > series_.size())) {
    throw Error(fmt::format("there is no track {}: the tracks are 1 to {}", *Options.Track,
                            series_.size()));
  }
  std::vector<GeotagRow> rows;
  rows.reserve(photos_.size());
  for (size_t i = 0; i < photos_.size(); ++i) {
    const PhotoInfo& p = photos_[i];
    GeotagRow r;
    r.File = p.File;
    r.Photo = i;
    r.Detail = p.Note;
    if (p.Kind == PhotoKind::NotAPhoto) {
      r.Action = GeotagAction::NotAPhoto;
      rows.push_back(std::move(r));
      continue;
    }
    if (!p.Captured) {
      r.Action = GeotagAction::NoTime;
      r.Detail = "the photo has no DateTimeOriginal";
      rows.push_back(std::move(r));
      continue;
    }
    r.CameraTime = p.Captured->Text;
    r.UtcMs = PhotoUtcMs(i, Options);
    r.UtcTime = FormatUtc(*r.UtcMs);
    r.Position = Options.Track ? index_.FindInTrack(static_cast<size_t>(*Options.Track - 1),
                                                    *r.UtcMs, Options.MaxGapSeconds)
                               : index_.Find(*r.UtcMs, Options.MaxGapSeconds);
    if (r.Position->How == PositionAtTime::Kind::OutOfRange) {
      r.Action = GeotagAction::OutOfRange;
      r.Detail = std::isinf(r.Position->SecondsToNearest)
                     ? "no track point has a time"
                     : fmt::format("the nearest track point is {:.0f} s away",
                                   r.Position->SecondsToNearest);
    } else if (p.Position && !Options.Overwrite) {
      r.Action = GeotagAction::SkippedHasPosition;
      r.Detail =
          fmt::format("has a position ({:.7f}, {:.7f})", p.Position->first, p.Position->second);
    } else {
      r.Action = Options.DryRun ? GeotagAction::WouldTag : GeotagAction::Tag;
      if (Options.Sidecar || p.Kind == PhotoKind::ReadOnly) {
        r.Detail = (p.Kind == PhotoKind::ReadOnly ? p.Note + "; sidecar " : "sidecar ") +
                   EscapeControls(XmpSidecarName(p.File));
      }
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

std::vector<GeotagRow> GeotagJob::Apply(const GeotagOptions& Options,
                                        const std::shared_ptr<IProgressInterface>& Progress,
                                        const std::atomic<bool>* Cancel) {
  std::vector<GeotagRow> rows = Plan(Options);
  if (Options.DryRun) {
    return rows;
  }
  std::vector<size_t> toTag;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].Action == GeotagAction::Tag) {
      toTag.push_back(i);
    }
  }
  if (Progress != nullptr) {
    Progress->SetMessage1("Tagging photos");
  }
  const WriteOptions write{Options.KeepModifiedTime, Options.Backup};
  std::vector<char> started;
  RunParallel(
      kWriteThreads, toTag.size(),
      [&](size_t k) {
        GeotagRow& r = rows[toTag[k]];
        const PhotoInfo& p = photos_[r.Photo];
        GpsFix fix;
        fix.Latitude = r.Position->Latitude;
        fix.Longitude = r.Position->Longitude;
        fix.Elevation = r.Position->Elevation;
        fix.UtcMs = *r.UtcMs;
        try {
          if (Options.Sidecar || p.Kind == PhotoKind::ReadOnly) {
            WriteXmpSidecar(p.File, fix);
            r.Action = GeotagAction::SidecarWritten;
          } else {
            WriteGpsTags(p.File, fix, write);
            r.Action = GeotagAction::Tagged;
          }
        } catch (const std::exception& e) {
          r.Action = GeotagAction::Failed;
          r.Detail = EscapeControls(e.what());
        }
      },
      Progress, Cancel, started);
  for (size_t k = 0; k < toTag.size(); ++k) {
    GeotagRow& r = rows[toTag[k]];
    if (started[k] == 0) {
      r.Action = GeotagAction::Cancelled;
      r.Detail = "not reached before the cancel; untouched";
    } else if (r.Action == GeotagAction::Tagged) {
      // The next plan sees the position just written, as a fresh read would.
      photos_[r.Photo].Position = std::make_pair(r.Position->Latitude, r.Position->Longitude);
    }
  }
  return rows;
}

std::string GeotagJob::TsvHeader() {
  return "file\tcamera_time\tutc_time\tlatitude\tlongitude\televation_m\tseconds_to_point\t"
         "action\tnote";
}

std::string GeotagJob::TsvLine(const GeotagRow& Row) {
  std::string s = EscapeControls(Row.File);
  s += '\t';
  s += EscapeControls(Row.CameraTime);
  s += '\t';
  s += Row.UtcTime;
  s += '\t';
  const PositionAtTime* p = Row.Position ? &*Row.Position : nullptr;
  if (p != nullptr && p->How != PositionAtTime::Kind::OutOfRange) {
    s += fmt::format("{:.7f}\t{:.7f}\t", p->Latitude, p->Longitude);
    if (std::isfinite(p->Elevation)) {
      s += fmt::format("{:.1f}", p->Elevation);
    }
  } else {
    s += "\t\t";
  }
  s += '\t';
  if (p != nullptr && std::isfinite(p->SecondsToNearest)) {
    s += fmt::format("{:.1f}", p->SecondsToNearest);
  }
  s += '\t';
  s += GeotagActionText(Row.Action);
  s += '\t';
  s += EscapeControls(Row.Detail);
  return s;
}

GeotagSummary GeotagJob::Summarize(const std::vector<GeotagRow>& Rows) {
  GeotagSummary s;
  s.Photos = Rows.size();
  for (const GeotagRow& r : Rows) {
    switch (r.Action) {
    case GeotagAction::Tag:
    case GeotagAction::Tagged:
    case GeotagAction::WouldTag:
    case GeotagAction::SidecarWritten:
      ++s.Tagged;
      break;
    case GeotagAction::SkippedHasPosition:
      ++s.Skipped;
      break;
    case GeotagAction::NoTime:
      ++s.NoTime;
      break;
    case GeotagAction::OutOfRange:
      ++s.OutOfRange;
      break;
    case GeotagAction::NotAPhoto:
      ++s.NotAPhoto;
      break;
    case GeotagAction::Failed:
      ++s.Failed;
      break;
    case GeotagAction::Cancelled:
      ++s.Cancelled;
      break;
    }
  }
  return s;
}

} // namespace tarnwick::app
