#include "app/geotag_job.hpp"
#include "app/image_session.hpp"
#include "cli/cancel_signals.hpp"
#include "cli/cli_common.hpp"
#include "cli/console_progress.hpp"
#include "support/errors.hpp"
#include "support/os_console.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>

namespace tarnwick::cli {

namespace {

// Exit status of a run stopped by Ctrl-C, as the shell reports an interrupted program.
constexpr int kExitCancelled = 130;
// Some photos could not be tagged (no time, out of range, not photos, failed writes).
constexpr int kExitNotAllTagged = 1;

struct GeotagArgs {
  std::string Input;
  std::vector<std::string> Photos;
  int Track = 0;
  std::string CameraZone = "local";
  double ClockOffsetSeconds = 0;
  double MaxGapSeconds = 1800;
  bool DryRun = false;
  bool Overwrite = false;
  bool Sidecar = false;
  bool Backup = false;
  bool Recursive = false;
  bool Touch = false;
  TimeOptions Time; // the year era; the zone is the camera's, above
};

bool IsGpxName(const std::string& Name) {
  if (Name.size() < 4) {
    return false;
  }
  std::string ext = Name.substr(Name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".gpx";
}

std::vector<TrackSeries> TracksOf(const GeotagArgs& args) {
  if (IsGpxName(args.Input)) {
    RegisterGpxExtensions();
    app::ImageSession session;
    session.OpenGpx(args.Input);
    for (const auto& warning : session.Warnings()) {
      std::cerr << "tarnwick: warning: " << EscapeControls(warning) << '\n';
    }
    return session.Series();
  }
  return OpenImage(args.Input, args.Time)->Series();
}

std::shared_ptr<ConsoleProgress> StepsProgress() {
  return ConsoleProgress::ForSteps(std::cerr, IsTerminal(StandardStream::Error),
                                   &CancelSignals::Requested);
}

void Geotag(const GeotagArgs& args) {
  app::GeotagOptions options;
  if (args.Track != 0) {
    options.Track = args.Track;
  }
  options.CameraZone = TimeZone::FromSetting(args.CameraZone);
  options.ClockOffsetSeconds = args.ClockOffsetSeconds;
  options.MaxGapSeconds = args.MaxGapSeconds;
  options.DryRun = args.DryRun;
  options.Overwrite = args.Overwrite;
  options.Sidecar = args.Sidecar;
  options.Backup = args.Backup;
  options.Recursive = args.Recursive;
  options.KeepModifiedTime = !args.Touch;

  std::vector<TrackSeries> tracks = TracksOf(args);
  if (options.Track && static_cast<size_t>(*options.Track) > tracks.size()) {
    throw Error("there is no track " + std::to_string(*options.Track) + ": the " +
                (IsGpxName(args.Input) ? "file" : "image") + " has " +
                std::to_string(tracks.size()) + (tracks.size() == 1 ? " track" : " tracks"));
  }
  std::vector<std::string> problems;
  std::vector<std::string> photos = app::CollectPhotos(args.Photos, args.Recursive, problems);
  for (const std::string& p : problems) {
    std::cerr << "tarnwick: " << p << '\n';
  }

  const CancelSignals signals("Cancelling; each photo is either tagged or untouched (Ctrl-C "
                              "again stops at once)\n");
  const auto reading = StepsProgress();
  app::GeotagJob job(std::move(tracks), std::move(photos), reading);
  reading->Finish();
  if (!job.Complete()) {
    std::cerr << "Cancelled while reading the photos; nothing was written\n";
    throw CLI::RuntimeError(kExitCancelled);
  }
  std::vector<app::GeotagRow> rows;
  if (options.DryRun) {
    rows = job.Plan(options);
  } else {
    const auto writing = StepsProgress();
    rows = job.Apply(options, writing);
    writing->Finish();
  }
  std::cout << app::GeotagJob::TsvHeader() << '\n';
  for (const app::GeotagRow& r : rows) {
    std::cout << app::GeotagJob::TsvLine(r) << '\n';
  }
  const app::GeotagSummary summary = app::GeotagJob::Summarize(rows);
  std::cout << "# " << summary.Text(options.DryRun) << '\n';
  std::cout.flush();
  if (summary.Cancelled != 0) {
    throw CLI::RuntimeError(kExitCancelled);
  }
  if (!summary.AllDone() || !problems.empty() || summary.Photos == 0) {
    if (summary.Photos == 0) {
      std::cerr << "tarnwick: no photos found\n";
    }
    throw CLI::RuntimeError(kExitNotAllTagged);
  }
}

} // namespace

void AddGeotagCommand(CLI::App& App) {
  static GeotagArgs args;
  auto* c = App.add_subcommand(
      "geotag", "writes the GPS position of the tracks at each photo's time into the photos' "
                "EXIF (or XMP sidecars); prints one line per photo");
  c->add_option("INPUT", args.Input, "saved image (trip, trip.dat or trip.bin) or FILE.gpx")
      ->required();
  c->add_option("PHOTOS", args.Photos,
                "photos, or folders whose photos (JPEG, TIFF, raw, ...) are tagged")
      ->required();
  c->add_option("--track,-t", args.Track, "only this track, from 1")
      ->check(CountsFromOne("tracks"));
  c->add_option("--tz", args.CameraZone,
                "the zone the camera's clock was set to, for photos without "
                "OffsetTimeOriginal: local (default, this computer's), utc, or a zone name "
                "such as Europe/Helsinki")
      ->check(ZoneValidator("local|utc|ZONE"));
  c->add_option("--clock-offset", args.ClockOffsetSeconds,
                "how far the camera's clock was off: camera time minus true time, in seconds "
                "(+90: the camera was 90 s fast)")
      ->check(CLI::Range(-1e9, 1e9));
  c->add_option("--max-gap", args.MaxGapSeconds,
                "the widest gap between track points that is interpolated, and the farthest a "
                "photo may be from a point, in seconds (default 1800)")
      ->check(CLI::Range(0.0, 1e9));
  c->add_flag("--dry-run,-n", args.DryRun, "write nothing; print what would be done");
  c->add_flag("--overwrite", args.Overwrite, "tag photos that already have a position too");
  c->add_flag("--sidecar", args.Sidecar,
              "write the position into NAME.xmp beside each photo and leave the photo alone");
  c->add_flag("--backup", args.Backup, "keep each original photo as NAME.original");
  c->add_flag("--recursive,-r", args.Recursive, "also tag the photos in sub-folders");
  c->add_flag("--touch", args.Touch,
              "give tagged photos the current modification time (default: keep theirs, as "
              "photo libraries sort by it)");
  AddYearEraOption(c, args.Time);
  c->callback([] { Geotag(args); });
}

} // namespace tarnwick::cli
