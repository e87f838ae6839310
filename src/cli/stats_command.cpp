#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"
#include "app/stats_figures.hpp"
#include "cli/cli_common.hpp"
#include "cli/console_progress.hpp"
#include "gpx/gpx_file.hpp"
#include "present/grid_helpers.hpp"
#include "support/errors.hpp"
#include "support/os_console.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace tarnwick::cli {

namespace {

using app::kKmhPerMs;

struct StatsArgs {
  std::string Input;
  int Track = 0;
  bool Json = false;
  double MaxHeartRate = 190;
  TimeOptions Time;
};

// The tracks of the input, with each one's start as the tracks table shows it (empty for a
// GPX track without times).
struct Tracks {
  std::vector<TrackSeries> Series;
  std::vector<std::string> Starts;
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

Tracks ImageTracks(const StatsArgs& args) {
  const auto session = OpenImage(args.Input, args.Time);
  Tracks t;
  t.Series = session->Series();
  TTracksGridHelper grid;
  grid.SetTracks(&session->Points()->Tracks());
  grid.SetZone(session->Zone());
  for (int i = 0; i < grid.DataCount(); ++i) {
    std::string start;
    grid.GetDataText(1, i, start);
    t.Starts.push_back(start);
  }
  return t;
}

Tracks GpxTracks(const StatsArgs& args) {
  RegisterGpxExtensions();
  const TimeZone zone = TimeZone::FromSetting(args.Time.Zone);

  TGPXFile doc;
  const auto progress =
      ConsoleProgress::ForSteps(std::cerr, IsTerminal(StandardStream::Error), nullptr);
  doc.SetProgress(progress);
  doc.Load(args.Input);
  doc.SetProgress(nullptr);
  progress->Finish();

  Tracks t;
  t.Series = SeriesOfGpxFile(doc);
  for (int i = 0; i < doc.Tracks().Count(); ++i) {
    std::string start;
    for (const TGPXTrkSeg& p : doc.Tracks()[i].TrkSeg()) {
      if (p.trkpt.Have(TWptTypeDataFlag::wdfTime)) {
        start = FormatDateTime("yyyy-mm-dd hh:nn:ss", zone.FromUtc(p.trkpt._time));
        break;
      }
    }
    t.Starts.push_back(start);
  }
  return t;
}

nlohmann::ordered_json Number(double Value, int Decimals) {
  const double r = app::RoundedFigure(Value, Decimals);
  if (r == std::trunc(r) && std::fabs(r) < 1e15) {
    return static_cast<int64_t>(r);
  }
  return r;
}

nlohmann::ordered_json JsonOf(int Number1, const std::string& Start, const TrackStats& s) {
  nlohmann::ordered_json j;
  j["track"] = Number1;
  j["start"] = Start.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Start);
  for (const app::StatsFigure& f : app::FiguresOf(s)) {
    if (std::string_view(f.Key) == "elevation_min_m") {
      j["elevation_source"] = app::ElevationSource(s);
    }
    if (f.Present) {
      j[f.Key] = Number(f.Value, f.Decimals);
    } else if (!f.FromSamples) {
      j[f.Key] = nullptr; // a track without elevations
    }
  }
  if (s.HasHeartRate) {
    auto& zones = j["hr_zones_s"] = nlohmann::ordered_json::array();
    for (const double z : s.HeartRateZoneS) {
      zones.push_back(Number(z, 1));
    }
  }
  auto& splits = j["splits"] = nlohmann::ordered_json::array();
  for (size_t k = 0; k < s.Splits.size(); ++k) {
    const KmSplit& split = s.Splits[k];
    nlohmann::ordered_json o;
    o["km"] = k + 1;
    o["distance_m"] = Number(split.DistanceM, 1);
    o["time_s"] = Number(split.TimeS, 1);
    o["moving_speed_kmh"] = Number(split.MovingSpeedMs * kKmhPerMs, 2);
    if (s.HasHeartRate) {
      o["hr_avg"] = std::isnan(split.HeartRateAvg) ? nlohmann::ordered_json(nullptr)
                                                   : Number(split.HeartRateAvg, 1);
    }
    if (s.HasElevation) {
      o["ascent_m"] = Number(split.AscentM, 1);
    }
    splits.push_back(o);
  }
  return j;
}

void WriteTsv(std::ostream& Out, const std::vector<int>& Numbers, const Tracks& In,
              const std::vector<TrackStats>& Stats) {
  Out << "track\tstart\televation_source";
  for (const app::StatsFigure& f : app::FiguresOf(TrackStats{})) {
    Out << '\t' << f.Key;
  }
  for (int z = 1; z <= 5; ++z) {
    Out << "\thr_zone" << z << "_s";
  }
  Out << '\n';
  for (size_t i = 0; i < Numbers.size(); ++i) {
    const TrackStats& s = Stats[i];
    Out << Numbers[i] << '\t' << In.Starts[static_cast<size_t>(Numbers[i] - 1)] << '\t'
        << app::ElevationSource(s);
    for (const app::StatsFigure& f : app::FiguresOf(s)) {
      Out << '\t' << (f.Present ? app::FigureText(f.Value, f.Decimals) : "");
    }
    for (const double z : s.HeartRateZoneS) {
      Out << '\t' << (s.HasHeartRate ? app::FigureText(z, 1) : "");
    }
    Out << '\n';
  }
}

void Stats(const StatsArgs& args) {
  const bool gpx = IsGpxName(args.Input);
  const Tracks in = gpx ? GpxTracks(args) : ImageTracks(args);
  const int count = static_cast<int>(in.Series.size());
  std::vector<int> numbers;
  if (args.Track != 0) {
    if (args.Track > count) {
      throw Error("there is no track " + std::to_string(args.Track) + ": the " +
                  (gpx ? "file" : "image") + " has " + std::to_string(count) +
                  (count == 1 ? " track" : " tracks"));
    }
    numbers.push_back(args.Track);
  } else {
    for (int n = 1; n <= count; ++n) {
      numbers.push_back(n);
    }
  }
  StatsSettings settings;
  settings.MaxHeartRate = args.MaxHeartRate;
  std::vector<TrackStats> stats;
  stats.reserve(numbers.size());
  for (const int n : numbers) {
    stats.push_back(ComputeTrackStats(in.Series[static_cast<size_t>(n - 1)], settings));
  }
  if (args.Json) {
    auto all = nlohmann::ordered_json::array();
    for (size_t i = 0; i < numbers.size(); ++i) {
      all.push_back(JsonOf(numbers[i], in.Starts[static_cast<size_t>(numbers[i] - 1)], stats[i]));
    }
    std::cout << all.dump() << '\n';
    return;
  }
  WriteTsv(std::cout, numbers, in, stats);
}

} // namespace

void AddStatsCommand(CLI::App& App) {
  static StatsArgs args;
  auto* c = App.add_subcommand(
      "stats", "statistics of each track of a saved image or a GPX file: distance, times, speeds, "
               "elevation, heart rate, cadence, heart-rate zones and kilometre splits");
  c->add_option("INPUT", args.Input, "saved image (trip, trip.dat or trip.bin) or FILE.gpx")
      ->required();
  c->add_option("--track,-t", args.Track, "only this track, from 1")
      ->check(CountsFromOne("tracks"));
  c->add_flag("--json", args.Json, "a JSON array, one object per track, instead of a table");
  c->add_option("--max-hr", args.MaxHeartRate,
                "maximum heart rate that the five zones (50, 60, 70, 80 and 90 %) are taken "
                "from (default 190)")
      ->check(CLI::Range(60.0, 250.0));
  AddYearEraOption(c, args.Time);
  AddZoneOption(c, args.Time);
  c->callback([] { Stats(args); });
}

} // namespace tarnwick::cli
