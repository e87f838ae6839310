#include "cli/cancel_signals.hpp"
#include "cli/cli_common.hpp"
#include "present/grid_helpers.hpp"
#include "present/image_texts.hpp"
#include "sim/sample_image.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <iostream>
#include <nlohmann/json.hpp>

namespace tarnwick::cli {

namespace {

struct ImageArgs {
  std::string Base;
  int Track = 0;
  std::string Kind;
  bool Json = false;
  TimeOptions Time;
};

CLI::App* ImageCommand(CLI::App& app, const char* name, const char* description, ImageArgs& args) {
  auto* cmd = app.add_subcommand(name, description);
  cmd->add_option("BASE", args.Base, "saved image: trip, trip.dat or trip.bin")->required();
  return cmd;
}

// A command whose table shows times: the year era and the zone of the times.
CLI::App* TableCommand(CLI::App& app, const char* name, const char* description, ImageArgs& args) {
  auto* cmd = ImageCommand(app, name, description, args);
  AddYearEraOption(cmd, args.Time);
  AddZoneOption(cmd, args.Time);
  return cmd;
}

void AddTrackOption(CLI::App* cmd, ImageArgs& args) {
  cmd->add_option("--track,-t", args.Track, "track number, from 1")
      ->required()
      ->check(CountsFromOne("tracks"));
}

void Info(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  const TIGotUWholeData& image = *session->Image();
  const StatusLabelTexts l = StatusLabels(image.Status);
  const int tracks = session->Points()->Tracks().Count();
  const YearEra& era = session->Era();
  if (args.Json) {
    nlohmann::ordered_json j;
    j["model"] = l.Model;
    j["modelType"] = image.Status.FModel.ModelType();
    j["serial"] = image.Status.FIdent.SerialNumber();
    j["version"] = l.Version;
    j["count"] = image.Status.NumberOfPoints();
    j["tracks"] = tracks;
    j["downloaded"] = image.DownloadTime()
                          ? nlohmann::ordered_json(FormatIsoUtc(*image.DownloadTime()))
                          : nlohmann::ordered_json(nullptr);
    j["yearEra"] = session->YearEraSetting();
    j["years"] = {era.FirstYear(), era.LastYear()};
    std::cout << j.dump() << '\n';
    return;
  }
  std::cout << "Model: " << l.Model << '\n'
            << "Serial: " << l.Serial << '\n'
            << "Version: " << l.Version << '\n'
            << "Count: " << l.Count << '\n'
            << "Tracks: " << tracks << '\n'
            << "Downloaded: "
            << (image.DownloadTime() ? FormatIsoUtc(*image.DownloadTime()) : "not recorded") << '\n'
            << "Year era: " << era.Description() << '\n';
}

// A table with its times on the clock the options name.
void Print(TStringGridHelper& Grid, const app::ImageSession& Session) {
  Grid.SetZone(Session.Zone());
  WriteTable(std::cout, Grid);
}

void Tracks(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  TTracksGridHelper grid;
  grid.SetTracks(&session->Points()->Tracks());
  Print(grid, *session);
}

template <class GridType>
void PointTable(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  GridType grid;
  grid.SetTrack(&session->TrackByNumber(args.Track));
  Print(grid, *session);
}

void Samples(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  const TIGotUTrack& track = session->TrackByNumber(args.Track);
  if (args.Kind == "speed") {
    TExtDoublePointGridHelper grid;
    grid.SetPoints(&track.Speed());
    Print(grid, *session);
    return;
  }
  TExtIntPointGridHelper grid;
  grid.SetPoints(args.Kind == "hr" ? &track.HR() : &track.Cadence());
  Print(grid, *session);
}

void Dump(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  TPointsDumpGridHelper grid;
  grid.SetPoints(session->Points());
  Print(grid, *session);
}

void Config(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  const TIGotUWholeData& image = *session->Image();
  for (const auto& line : ConfigDumpLines(image.ConfigBlockPtr(), image.ConfigLength())) {
    std::cout << line << '\n';
  }
}

void LogMessages(const ImageArgs& args) {
  const auto session = OpenImage(args.Base, args.Time);
  for (const auto* msg : session->Points()->DebugPoints()) {
    std::cout << EscapeControls(LogMessageEntry(*msg, session->Zone())) << '\n';
  }
}

struct SampleArgs {
  std::string Model;
  int Points = 1000;
  CLI::Option* PointsOption = nullptr;
  double RideHours = 0;
  uint64_t Seed = 1;
  std::optional<DateTime> Start;
  std::string Output;
};

void Sample(SampleArgs& args) {
  if (args.RideHours > 0) {
    if (args.PointsOption->count() == 0) {
      args.Points = 65535; // a ride fills the memory unless told otherwise
    }
  } else if (args.PointsOption->count() == 0) {
    throw CLI::RequiredError("--points");
  }
  InstallFileSignalHandlers();
  TIGotUWholeData::CheckSaveTargets(args.Output);
  sim::SampleSpec spec;
  spec.Family = *sim::ParseSampleFamily(args.Model);
  spec.Points = args.Points;
  spec.Seed = args.Seed;
  spec.Start = args.Start;
  spec.RideHours = args.RideHours;
  const TIGotUWholeData image = sim::GenerateSampleImage(spec);
  image.SaveToFile(args.Output);
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  std::cout << "wrote " << TIGotUWholeData::StatusFileName(args.Output) << " and "
            << TIGotUWholeData::BlockFileName(args.Output) << ": " << image.Status.NumberOfPoints()
            << " records, " << points.Tracks().Count() << " tracks\n";
}

} // namespace

void AddImageCommands(CLI::App& App) {
  // The option values must outlive parsing; one set per command keeps them apart.
  static ImageArgs info, tracks, points, waypoints, samples, dump, config, logmsgs;
  static SampleArgs sample;

  auto* c = ImageCommand(
      App, "info",
      "status of a saved image: model, serial, version, count, tracks, download time, year era",
      info);
  c->add_flag("--json", info.Json, "one JSON object instead of lines");
  AddYearEraOption(c, info.Time);
  c->callback([] { Info(info); });

  TableCommand(App, "tracks", "the tracks table", tracks)->callback([] { Tracks(tracks); });

  c = TableCommand(App, "points", "the track points of one track", points);
  AddTrackOption(c, points);
  c->callback([] { PointTable<TTrackPointGridHelper>(points); });

  c = TableCommand(App, "waypoints", "the way points of one track", waypoints);
  AddTrackOption(c, waypoints);
  c->callback([] { PointTable<TWayPointGridHelper>(waypoints); });

  c = TableCommand(App, "samples", "heart-rate, cadence or speed records of one track", samples);
  AddTrackOption(c, samples);
  c->add_option("--kind,-k", samples.Kind, "hr, cadence or speed")
      ->required()
      ->check(CLI::IsMember({"hr", "cadence", "speed"}));
  c->callback([] { Samples(samples); });

  TableCommand(App, "dump", "every raw record: flag, time and bytes", dump)->callback([] {
    Dump(dump);
  });
  ImageCommand(App, "config", "the configuration block as hexadecimal lines", config)->callback([] {
    Config(config);
  });
  TableCommand(App, "logmsgs", "the log messages, one a line", logmsgs)->callback([] {
    LogMessages(logmsgs);
  });

  c = App.add_subcommand("sample", "write a generated sample image");
  c->add_option("--model,-m", sample.Model, "gt120 or gt900")
      ->required()
      ->check(CLI::IsMember({"gt120", "gt900"}));
  sample.PointsOption =
      c->add_option("--points,-n", sample.Points,
                    "number of records, 0 to 65535 (required but with --ride, which fills the "
                    "memory by default)")
          ->check(CLI::Range(0, 65535));
  c->add_option("--ride", sample.RideHours,
                "one bike ride of this many hours instead of several tracks: a fix a second "
                "while the memory holds them (with gt900, heart rate, cadence and wheel speed "
                "too)")
      ->check(CLI::Range(0.01, 1000.0));
  c->add_option("--seed,-s", sample.Seed, "seed of the generator (default 1)");
  AddSampleStartOption(c, sample.Start);
  c->add_option("-o,--output", sample.Output, "BASE of the image pair to write")->required();
  c->callback([] { Sample(sample); });
}

} // namespace tarnwick::cli
