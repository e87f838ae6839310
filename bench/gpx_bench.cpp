// GPX export and read of one 65,535-point track with heart rate, cadence and speed, each
// measured in the same run as gpsbabel converting the same points (unicsv to GPX, GPX to
// unicsv). Prints how many times faster tarnwick is. Needs gpsbabel on the PATH.
// bench/gpx_info_vs_gpsbabel.sh compares whole processes reading a full logger's GPX file.
#include "gpx/gpx_file.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "logger/points_gt800.hpp"
#include "sim/record_encoder.hpp"
#include "support/number_format.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace tarnwick {
namespace {

constexpr int kPoints = 65535;

// The track, its records (owned here, as a point list would) and the files of the run.
struct BenchData {
  std::vector<std::unique_ptr<TIGotUPointBase>> Records;
  TIGotUTrack Track;
  std::filesystem::path Dir;
  std::string OurGpx, Csv;
};

BenchData& Data() {
  static BenchData* data = [] {
    auto* d = new BenchData;
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    d->Dir = pattern;
    d->OurGpx = (d->Dir / "ours.gpx").string();
    d->Csv = (d->Dir / "points.csv").string();

    const DateTime start = EncodeDate(2013, 11, 24) + EncodeTime(6, 0, 0, 0);
    const auto hrAt = [](int i) { return 90 + (i * 7) % 90; };
    const auto cadAt = [](int i) { return 60 + (i * 3) % 50; };
    const auto speedAt = [](int i) { return std::round(300 + (i * 13) % 400) / 100.0; };
    std::ofstream csv(d->Csv);
    csv << "No,Latitude,Longitude,Altitude,Speed,Course,Heartrate,Cadence,Date,Time\n";
    for (int i = 0; i < kPoints; ++i) {
      sim::RecordEncoder::FixRecord fix;
      fix.Time = start + i / 86400.0;
      fix.Latitude = 35.6812345 + i * 1e-5;
      fix.Longitude = 139.7654321 - i * 7e-6;
      fix.Elevation = 40 + (i % 500) / 10.0;
      fix.Speed = speedAt(i);
      fix.Course = (i * 11) % 36000 / 100.0;
      const auto slot = sim::RecordEncoder::TrackPoint800(0, fix, fix.Elevation + 1, 0);
      auto point = std::make_unique<TIGotUTrackPoint800>(slot.data());
      d->Track.AddTrackPoint(point.get());
      d->Records.push_back(std::move(point));
      std::string line = std::to_string(i + 1) + ",";
      line += FormatFixed(fix.Latitude, 7) + "," + FormatFixed(fix.Longitude, 7) + "," +
              FormatFixed(fix.Elevation + 1, 2) + "," + FormatFixed(fix.Speed, 2) + "," +
              FormatFixed(fix.Course, 2) + "," + std::to_string(hrAt(i)) + "," +
              std::to_string(cadAt(i)) + "," + FormatDateTime("yyyy/mm/dd,hh:nn:ss", fix.Time);
      csv << line << '\n';
    }
    for (int first = 0; first < kPoints; first += 24) {
      std::array<uint8_t, 24> hr{}, cad{};
      for (int k = 0; k < 24; ++k) {
        hr[static_cast<size_t>(k)] = static_cast<uint8_t>(hrAt(first + k));
        cad[static_cast<size_t>(k)] = static_cast<uint8_t>(cadAt(first + k));
      }
      const DateTime t = start + first / 86400.0;
      for (const auto& slot : {sim::RecordEncoder::ExtInt(kFlagHeartRate, t, hr, 0),
                               sim::RecordEncoder::ExtInt(kFlagCadence, t, cad, 0)}) {
        auto rec = std::make_unique<TIGotUExtIntPoint>(slot.data());
        d->Track.AddExtPoint(rec.get());
        d->Records.push_back(std::move(rec));
      }
    }
    for (int first = 0; first < kPoints; first += 12) {
      std::array<double, 12> speed{};
      for (int k = 0; k < 12; ++k) {
        speed[static_cast<size_t>(k)] = speedAt(first + k);
      }
      const auto slot = sim::RecordEncoder::ExtSpeed(start + first / 86400.0, speed, 0);
      auto rec = std::make_unique<TIGotUExtDoublePoint>(slot.data());
      d->Track.AddExtPoint(rec.get());
      d->Records.push_back(std::move(rec));
    }
    TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class());
    if (!TIGotUDataToGPX(d->Track, d->OurGpx).Execute(nullptr)) {
      std::abort();
    }
    return d;
  }();
  return *data;
}

void Shell(benchmark::State& State, const std::string& Command) {
  if (std::system(Command.c_str()) != 0) {
    State.SkipWithError(("failed: " + Command).c_str());
  }
}

void BM_Export_Tarnwick(benchmark::State& State) {
  BenchData& d = Data();
  const std::string out = (d.Dir / "export.gpx").string();
  for (auto _ : State) {
    TIGotUDataToGPX(d.Track, out).Execute(nullptr);
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

// The same without the file: building the document and its text.
void BM_Export_Tarnwick_InMemory(benchmark::State& State) {
  BenchData& d = Data();
  for (auto _ : State) {
    benchmark::DoNotOptimize(TIGotUDataToGPX(d.Track, "unused").CreateDocument()->SaveToString());
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

void BM_Export_Gpsbabel(benchmark::State& State) {
  BenchData& d = Data();
  // unicsv gives way points, which gpsbabel writes with less than a track point carries;
  // turning them into a track (-x transform,trk=wpt,del) would only slow it down further.
  const std::string cmd =
      "gpsbabel -i unicsv -f " + d.Csv + " -o gpx -F " + (d.Dir / "gpsbabel.gpx").string();
  for (auto _ : State) {
    Shell(State, cmd);
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

void BM_Read_Tarnwick(benchmark::State& State) {
  BenchData& d = Data();
  for (auto _ : State) {
    TGPXFile doc;
    doc.Load(d.OurGpx);
    benchmark::DoNotOptimize(doc.Tracks()[0].Count());
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

void BM_Read_Gpsbabel(benchmark::State& State) {
  BenchData& d = Data();
  const std::string cmd =
      "gpsbabel -t -i gpx -f " + d.OurGpx + " -o unicsv -F " + (d.Dir / "gpsbabel.csv").string();
  for (auto _ : State) {
    Shell(State, cmd);
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

BENCHMARK(BM_Export_Tarnwick)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Export_Tarnwick_InMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Export_Gpsbabel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Read_Tarnwick)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Read_Gpsbabel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Prints as usual and keeps each benchmark's real time for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> Times;
  void ReportRuns(const std::vector<Run>& Runs) override {
    for (const Run& run : Runs) {
      if (!run.error_occurred) {
        Times[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(Runs);
  }
};

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  tarnwick::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ratio = [&](const char* what, const std::string& ours, const std::string& theirs) {
    const auto o = reporter.Times.find(ours);
    const auto t = reporter.Times.find(theirs);
    if (o != reporter.Times.end() && t != reporter.Times.end() && o->second > 0) {
      std::printf("%s: tarnwick %.1f ms, gpsbabel %.1f ms, tarnwick is %.1f times faster\n", what,
                  o->second, t->second, t->second / o->second);
    }
  };
  std::printf("\n%d points with heart rate, cadence and speed:\n", tarnwick::kPoints);
  ratio("export", "BM_Export_Tarnwick/min_time:2.000/real_time",
        "BM_Export_Gpsbabel/iterations:3/real_time");
  ratio("read  ", "BM_Read_Tarnwick/min_time:2.000/real_time",
        "BM_Read_Gpsbabel/iterations:3/real_time");
  std::error_code ec;
  std::filesystem::remove_all(tarnwick::Data().Dir, ec);
  benchmark::Shutdown();
  return 0;
}
