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
};

CLI::App* ImageCommand(CLI::App& app, const char* name, const char* description, ImageArgs& args) {
  auto* cmd = app.add_subcommand(name, description);
  cmd->add_option("BASE", args.Base, "saved image: trip, trip.dat or trip.bin")->required();
  return cmd;
}

void AddTrackOption(CLI::App* cmd, ImageArgs& args) {
  cmd->add_option("--track,-t", args.Track, "track number, from 1")
      ->required()
      ->check(CountsFromOne("tracks"));
}

void Info(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  const StatusLabelTexts l = StatusLabels(image.Data.Status);
  const int tracks = image.Points->Tracks().Count();
  if (args.Json) {
    nlohmann::ordered_json j;
    j["model"] = l.Model;
    j["modelType"] = image.Data.Status.FModel.ModelType();
    j["serial"] = image.Data.Status.FIdent.SerialNumber();
    j["version"] = l.Version;
    j["count"] = image.Data.Status.NumberOfPoints();
    j["tracks"] = tracks;
    std::cout << j.dump() << '\n';
    return;
  }
  std::cout << "Model: " << l.Model << '\n'
            << "Serial: " << l.Serial << '\n'
            << "Version: " << l.Version << '\n'
            << "Count: " << l.Count << '\n'
            << "Tracks: " << tracks << '\n';
}

void Tracks(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  TTracksGridHelper grid;
  grid.SetTracks(&image.Points->Tracks());
  WriteTable(std::cout, grid);
}

template <class GridType>
void PointTable(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  GridType grid;
  grid.SetTrack(&TrackByNumber(image, args.Track));
  WriteTable(std::cout, grid);
}

void Samples(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  const TIGotUTrack& track = TrackByNumber(image, args.Track);
  if (args.Kind == "speed") {
    TExtDoublePointGridHelper grid;
    grid.SetPoints(&track.Speed());
    WriteTable(std::cout, grid);
    return;
  }
  TExtIntPointGridHelper grid;
  grid.SetPoints(args.Kind == "hr" ? &track.HR() : &track.Cadence());
  WriteTable(std::cout, grid);
}

void Dump(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  TPointsDumpGridHelper grid;
  grid.SetPoints(image.Points.get());
  WriteTable(std::cout, grid);
}

void Config(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  for (const auto& line : ConfigDumpLines(image.Data.ConfigBlockPtr(), image.Data.ConfigLength())) {
    std::cout << line << '\n';
  }
}

void LogMessages(const ImageArgs& args) {
  const LoadedImage image = LoadImage(args.Base);
  for (const auto* msg : image.Points->DebugPoints()) {
    std::cout << EscapeControls(LogMessageEntry(*msg)) << '\n';
  }
}

struct SampleArgs {
  std::string Model;
  int Points = 1000;
  uint64_t Seed = 1;
  std::string Output;
};

void Sample(const SampleArgs& args) {
  InstallFileSignalHandlers();
  TIGotUWholeData::CheckSaveTargets(args.Output);
  sim::SampleSpec spec;
  spec.Family = *sim::ParseSampleFamily(args.Model);
  spec.Points = args.Points;
  spec.Seed = args.Seed;
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

  auto* c = ImageCommand(App, "info",
                         "status of a saved image: model, serial, version, count, tracks", info);
  c->add_flag("--json", info.Json, "one JSON object instead of lines");
  c->callback([] { Info(info); });

  ImageCommand(App, "tracks", "the tracks table", tracks)->callback([] { Tracks(tracks); });

  c = ImageCommand(App, "points", "the track points of one track", points);
  AddTrackOption(c, points);
  c->callback([] { PointTable<TTrackPointGridHelper>(points); });

  c = ImageCommand(App, "waypoints", "the way points of one track", waypoints);
  AddTrackOption(c, waypoints);
  c->callback([] { PointTable<TWayPointGridHelper>(waypoints); });

  c = ImageCommand(App, "samples", "heart-rate, cadence or speed records of one track", samples);
  AddTrackOption(c, samples);
  c->add_option("--kind,-k", samples.Kind, "hr, cadence or speed")
      ->required()
      ->check(CLI::IsMember({"hr", "cadence", "speed"}));
  c->callback([] { Samples(samples); });

  ImageCommand(App, "dump", "every raw record: flag, time and bytes", dump)->callback([] {
    Dump(dump);
  });
  ImageCommand(App, "config", "the configuration block as hexadecimal lines", config)->callback([] {
    Config(config);
  });
  ImageCommand(App, "logmsgs", "the log messages, one a line", logmsgs)->callback([] {
    LogMessages(logmsgs);
  });

  c = App.add_subcommand("sample", "write a generated sample image");
  c->add_option("--model,-m", sample.Model, "gt120 or gt900")
      ->required()
      ->check(CLI::IsMember({"gt120", "gt900"}));
  c->add_option("--points,-n", sample.Points, "number of records, 0 to 65535")
      ->required()
      ->check(CLI::Range(0, 65535));
  c->add_option("--seed,-s", sample.Seed, "seed of the generator (default 1)");
  c->add_option("-o,--output", sample.Output, "BASE of the image pair to write")->required();
  c->callback([] { Sample(sample); });
}

} // namespace tarnwick::cli
