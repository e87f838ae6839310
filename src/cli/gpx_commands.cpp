#include "app/logger_link.hpp"
#include "cli/cancel_signals.hpp"
#include "cli/cli_common.hpp"
#include "cli/console_progress.hpp"
#include "gpx/gpx_file.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/os_console.hpp"
#include "support/os_files.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>

namespace tarnwick::cli {

namespace {

// Exit status of an export stopped by Ctrl-C, as the shell reports an interrupted program.
constexpr int kExitCancelled = 130;
// The -o name that sends the GPX to standard output.
constexpr const char* kStandardOutput = "-";

// All of Text to standard output (binary, set up by main); a failure (a closed pipe, a full
// disk) raises.
void WriteStandardOutput(const std::string& Text) {
  std::cout.flush();
  errno = 0;
  if (std::fwrite(Text.data(), 1, Text.size(), stdout) != Text.size() || std::fflush(stdout) != 0) {
    throw Error(std::string("cannot write the GPX to standard output: ") +
                std::strerror(errno != 0 ? errno : EIO));
  }
}

// The stage and a bar on standard error when it is a terminal; answers abort after Ctrl-C.
std::shared_ptr<ConsoleProgress> StepsProgress() {
  return ConsoleProgress::ForSteps(std::cerr, IsTerminal(StandardStream::Error),
                                   &CancelSignals::Requested);
}

struct ExportArgs {
  std::string Base;
  std::string Output;
  std::string Dir;
  int Track = 0;
  bool All = false;
  bool Split = false;
  std::string Gpx = "1.1";
  bool NoExtensions = false;
  bool Strict = false;
  bool Utc = false;
  TimeOptions Time;
};

struct GpxInfoArgs {
  std::string File;
};

// Converts Tracks into FileName ("-": standard output); cancelling leaves no file and raises.
void WriteGpx(const std::vector<const TIGotUTrack*>& Tracks, const std::string& FileName,
              const GPXPreferences& Prefs) {
  const bool toStdout = FileName == kStandardOutput;
  const CancelSignals signals("Cancelling the export (Ctrl-C again stops at once)\n");
  const auto progress = StepsProgress();
  app::ExportResult result;
  std::string text;
  if (toStdout) {
    // Built whole before any of it goes out, so that a cancelled export writes nothing.
    const std::unique_ptr<TGPXFile> doc = TIGotUDataToGPX(Tracks, FileName, Prefs).CreateDocument();
    doc->SetProgress(progress);
    text = doc->SaveToString();
    doc->SetProgress(nullptr);
    result.Done = !CancelSignals::Requested();
    result.LeftOut = doc->LeftOut();
    result.CountWritten(Tracks);
  } else {
    result = app::ImageSession::Export(Tracks, FileName, Prefs, progress);
  }
  progress->Finish();
  if (!result.Done) {
    std::cerr << "Export cancelled; " << (toStdout ? "nothing" : FileName) << " was written\n";
    throw CLI::RuntimeError(kExitCancelled);
  }
  if (toStdout) {
    WriteStandardOutput(text);
  }
  // Strict files leave out points whose position the schemas forbid; the counts are those
  // written, and the left-out ones are named. With the GPX on standard output, the report
  // goes to standard error.
  (toStdout ? std::cerr : std::cout)
      << result.Summary(toStdout ? "standard output" : FileName) << '\n';
}

void Export(const ExportArgs& args) {
  if (int(args.Track != 0) + int(args.All) + int(args.Split) != 1) {
    throw CLI::ValidationError("give one of --track N, --all or --split");
  }
  if (args.Split ? args.Dir.empty() || !args.Output.empty()
                 : args.Output.empty() || !args.Dir.empty()) {
    throw CLI::ValidationError(args.Split ? "--split writes into -d DIR, not -o"
                                          : "give the output file with -o FILE.gpx");
  }
  GPXPreferences prefs;
  prefs.Version = args.Gpx;
  prefs.OutputExtensions = !args.NoExtensions;
  prefs.Strict = args.Strict;
  prefs.UtcDesignator = args.Utc;

  InstallFileSignalHandlers();
  // Refused before any work, and before the image is read.
  if (!args.Split && args.Output != kStandardOutput) {
    app::ImageSession::CheckGpxTarget(args.Output, args.Base);
  }
  const auto session = OpenImage(args.Base, args.Time);
  if (args.Track != 0) {
    const TIGotUTrack& track = session->TrackByNumber(args.Track);
    if (track.IsVoid()) {
      throw Error("track " + std::to_string(args.Track) + " has no points to export");
    }
    WriteGpx({&track}, args.Output, prefs);
    return;
  }

  std::vector<const TIGotUTrack*> tracks;
  const TIGotUTracks& all = session->Points()->Tracks();
  for (int i = 0; i < all.Count(); ++i) {
    if (all[i].IsVoid()) {
      std::cerr << "tarnwick: track " << i + 1 << " has no points; skipped\n";
    } else {
      tracks.push_back(&all[i]);
    }
  }
  if (tracks.empty()) {
    throw Error("the image has no track with points");
  }
  if (args.All) {
    WriteGpx(tracks, args.Output, prefs);
    return;
  }

  std::filesystem::create_directories(args.Dir);
  const std::vector<std::string> names = app::ImageSession::SplitNames(tracks, args.Dir);
  // Every target is checked before the first file is written.
  for (const std::string& name : names) {
    session->CheckExportTarget(name);
  }
  for (size_t i = 0; i < tracks.size(); ++i) {
    WriteGpx({tracks[i]}, names[i], prefs);
  }
}

void GpxInfo(const GpxInfoArgs& args) {
  RegisterGpxExtensions();

  TGPXFile doc;
  const auto progress = StepsProgress();
  doc.SetProgress(progress);
  doc.Load(args.File);
  doc.SetProgress(nullptr);
  progress->Finish();

  std::cout << "Version: " << EscapeControls(doc.Version()) << '\n'
            << "Creator: " << EscapeControls(doc.Creator()) << '\n'
            << "Metadata name: " << EscapeControls(doc.MetaData().Name) << '\n'
            << "Way points: " << doc.WayPoints().Count() << '\n'
            << "Track\tPoints\tHeart rate\tCadence\tSpeed\tFirst time\tLast time\n";
  const TGPXExtensionClass tpxClass = TGPXTrkTypeTpx2::Class();
  for (int i = 0; i < doc.Tracks().Count(); ++i) {
    const TGPXTrkType& track = doc.Tracks()[i];
    size_t hr = 0, cad = 0, speed = 0;
    if (track.HasExtension(tpxClass)) {
      for (const auto& rec : track.Extension<TGPXTrkTypeTpx2>().TrkSegExt) {
        hr += rec.Have(TTpxTypeDataFlag::tpxHR);
        cad += rec.Have(TTpxTypeDataFlag::tpxCad);
        speed += rec.Have(TTpxTypeDataFlag::tpxSpeed);
      }
    }
    const auto& seg = track.TrkSeg();
    const auto hasTime = [](const TGPXTrkSeg& s) {
      return s.trkpt.Have(TWptTypeDataFlag::wdfTime);
    };
    const auto first = std::find_if(seg.begin(), seg.end(), hasTime);
    const auto last = std::find_if(seg.rbegin(), seg.rend(), hasTime);
    std::cout << EscapeControls(track.Name) << '\t' << seg.size() << '\t' << hr << '\t' << cad
              << '\t' << speed << '\t'
              << (first != seg.end() ? TUTCDateTime::DateTimeToUTCStr(first->trkpt._time) : "")
              << '\t'
              << (last != seg.rend() ? TUTCDateTime::DateTimeToUTCStr(last->trkpt._time) : "")
              << '\n';
  }
}

} // namespace

void RegisterGpxExtensions() {
  static const bool registered = [] {
    TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class());
    return true;
  }();
  (void)registered;
}

void AddGpxCommands(CLI::App& App) {
  // The option values must outlive parsing.
  static ExportArgs exp;
  static GpxInfoArgs info;

  auto* c = App.add_subcommand("export", "convert tracks of a saved image to GPX");
  c->add_option("BASE", exp.Base, "saved image: trip, trip.dat or trip.bin")->required();
  c->add_option("--output,-o", exp.Output,
                "the GPX file to write (with --track or --all); - for standard output");
  c->add_option("--dir,-d", exp.Dir, "the folder for --split (made when missing)");
  c->add_option("--track,-t", exp.Track, "track number, from 1")->check(CountsFromOne("tracks"));
  c->add_flag("--all", exp.All, "all tracks into one file");
  c->add_flag("--split", exp.Split, "one file per track, named after the track");
  c->add_option("--gpx", exp.Gpx, "GPX version: 1.0 or 1.1 (default)")
      ->check(CLI::IsMember({"1.0", "1.1"}));
  c->add_flag("--no-extensions", exp.NoExtensions,
              "leave out heart rate, cadence and sensor speed (TrackPointExtension v2)");
  c->add_flag("--strict", exp.Strict, "write files that the GPX schemas accept");
  c->add_flag("--utc", exp.Utc,
              "write point times with the UTC designator Z (2013-11-24T06:21:52.000Z), so that "
              "no reader takes them for local times");
  AddYearEraOption(c, exp.Time);
  c->callback([] { Export(exp); });

  c = App.add_subcommand("gpx-info", "read a GPX file and summarise it");
  c->add_option("FILE", info.File, "the GPX file")->required();
  c->callback([] { GpxInfo(info); });
}

} // namespace tarnwick::cli
