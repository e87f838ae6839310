// Decoding a full memory and formatting the raw-record table, for both families.
#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "present/grid_helpers.hpp"
#include "sim/sample_image.hpp"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <malloc.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int kFullMemory = 65535;

const TIGotUWholeData& Image(sim::SampleFamily family) {
  static const TIGotUWholeData gt120 =
      sim::GenerateSampleImage({sim::SampleFamily::GT120, kFullMemory, 1});
  static const TIGotUWholeData gt900 =
      sim::GenerateSampleImage({sim::SampleFamily::GT900, kFullMemory, 1});
  return family == sim::SampleFamily::GT120 ? gt120 : gt900;
}

std::string SavedImage(sim::SampleFamily family) {
  const std::string base = (std::filesystem::temp_directory_path() /
                            ("tarnwick-bench-" + std::to_string(::getpid()) +
                             (family == sim::SampleFamily::GT120 ? "-gt120" : "-gt900")))
                               .string();
  if (!std::filesystem::exists(base + ".bin")) {
    Image(family).SaveToFile(base);
  }
  return base;
}

// Bytes in use on the heap, including blocks served by mmap.
size_t HeapBytes() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

sim::SampleFamily Family(const benchmark::State& state) {
  return state.range(0) == 120 ? sim::SampleFamily::GT120 : sim::SampleFamily::GT900;
}

// Building the decoded form: one record object per slot, the tracks and the log messages.
void BM_Decode(benchmark::State& state) {
  const auto& image = Image(Family(state));
  size_t heldBytes = 0;
  for (auto _ : state) {
    const size_t before = HeapBytes();
    TIGotUPoints points(image.Status.FModel, image.Blocks());
    heldBytes = HeapBytes() - before;
    benchmark::DoNotOptimize(points.Tracks().Count());
  }
  state.counters["held_MiB"] = static_cast<double>(heldBytes) / (1 << 20);
  state.counters["records"] = kFullMemory;
}
BENCHMARK(BM_Decode)->Arg(120)->Arg(900)->Unit(benchmark::kMillisecond);

// Reading the pair from disk (page cache) and decoding it.
void BM_LoadAndDecode(benchmark::State& state) {
  const std::string base = SavedImage(Family(state));
  for (auto _ : state) {
    TIGotUWholeData image;
    image.LoadFromFile(base);
    TIGotUPoints points(image.Status.FModel, image.Blocks());
    benchmark::DoNotOptimize(points.Tracks().Count());
  }
}
BENCHMARK(BM_LoadAndDecode)->Arg(120)->Arg(900)->Unit(benchmark::kMillisecond);

// Every cell of the raw-record table, as `tarnwick dump` prints it.
void BM_FormatDumpTable(benchmark::State& state) {
  const auto& image = Image(Family(state));
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  TPointsDumpGridHelper grid;
  grid.SetPoints(&points);
  for (auto _ : state) {
    size_t chars = 0;
    for (int row = 0; row < grid.RowCount(); ++row) {
      for (int col = 0; col < grid.GetColCount(); ++col) {
        chars += grid.GetCellText(col, row).size();
      }
    }
    benchmark::DoNotOptimize(chars);
  }
  state.counters["cells"] = static_cast<double>(grid.RowCount()) * grid.GetColCount();
}
BENCHMARK(BM_FormatDumpTable)->Arg(120)->Arg(900)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* family : {"-gt120", "-gt900"}) {
    const auto base = std::filesystem::temp_directory_path() /
                      ("tarnwick-bench-" + std::to_string(::getpid()) + family);
    std::filesystem::remove(base.string() + ".dat");
    std::filesystem::remove(base.string() + ".bin");
  }
  return 0;
}
