// Reading GPX files shaped to cost a reader much time or memory, beside a sound file for
// comparison. For each shape: the time of one read (accepted or refused) and, measured in a
// fresh process of this program, the peak memory the read adds, in MiB and as a multiple of
// the file's size.
#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr const char* kRoot = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\"";

struct Shape {
  const char* Name;
  std::function<std::string()> Make;
};

std::string Repeat(const std::string& Piece, int Count) {
  std::string s;
  s.reserve(Piece.size() * static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i) {
    s += Piece;
  }
  return s;
}

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      // What the export writes: 65,535 points with heart rate and cadence.
      {"sound_65535_points",
       [] {
         std::string s = std::string(kRoot) +
                         " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/"
                         "v2\">\n  <trk>\n    <trkseg>\n";
         for (int i = 0; i < 65535; ++i) {
           s += "      <trkpt lat=\"35.68" + std::to_string(10000 + i) + "\" lon=\"139.76" +
                std::to_string(10000 + i) +
                "\">\n        <ele>40.120</ele>\n        <time>2013-11-24T06:21:52.000</time>\n"
                "        <extensions>\n          <gpxtpx:TrackPointExtension>\n"
                "            <gpxtpx:hr>120</gpxtpx:hr>\n            <gpxtpx:cad>85</gpxtpx:cad>\n"
                "          </gpxtpx:TrackPointExtension>\n        </extensions>\n      </trkpt>\n";
         }
         return s + "    </trkseg>\n  </trk>\n</gpx>\n";
       }},
      // 40,000 prefixes for the GPX namespace on the root and 10,000 way points that use the
      // last one: a reader that searches the root's attributes for each takes 4e8 steps.
      {"many_prefix_declarations",
       [] {
         std::string s = kRoot;
         for (int i = 0; i < 40000; ++i) {
           s += " xmlns:p" + std::to_string(i) + "=\"http://www.topografix.com/GPX/1/1\"";
         }
         return s + ">" + Repeat("<p39999:wpt lat=\"1\" lon=\"2\"/>", 10000) + "</gpx>";
       }},
      // 80,000 attributes on the root before its namespace, and way points that declare a
      // prefix of their own, so that their namespace is looked up through the root.
      {"many_root_attributes",
       [] {
         std::string s = "<gpx version=\"1.1\"";
         for (int i = 0; i < 80000; ++i) {
           s += " a" + std::to_string(i) + "=\"\"";
         }
         return s + " xmlns=\"http://www.topografix.com/GPX/1/1\">" +
                Repeat("<wpt xmlns:x=\"urn:x\" lat=\"1\" lon=\"2\"/>", 10000) + "</gpx>";
       }},
      // One start tag with 200,000 attributes, each checked against the others.
      {"one_tag_200000_attributes",
       [] {
         std::string s = std::string(kRoot) + "><wpt lat=\"1\" lon=\"2\"";
         for (int i = 0; i < 200000; ++i) {
           s += " a" + std::to_string(i) + "=\"1\"";
         }
         return s + "/></gpx>";
       }},
      // A segment of 10 million empty elements.
      {"segment_10M_empty_elements",
       [] {
         return std::string(kRoot) + "><trk><trkseg>" + Repeat("<a/>", 10000000) +
                "</trkseg></trk></gpx>";
       }},
      // A segment of 3 million points without a longitude.
      {"segment_3M_points_without_lon",
       [] {
         return std::string(kRoot) + "><trk><trkseg>" + Repeat("<trkpt lat=\"1\"/>", 3000000) +
                "</trkseg></trk></gpx>";
       }},
      // The densest file that is sound: 2 million points with a position and nothing else.
      {"segment_2M_minimal_points",
       [] {
         return std::string(kRoot) + "><trk><trkseg>" +
                Repeat("<trkpt lat=\"1\" lon=\"2\"/>", 2000000) + "</trkseg></trk></gpx>";
       }},
      // Elements nested 300,000 deep.
      {"nested_300000_deep",
       [] {
         return std::string(kRoot) + ">" + Repeat("<extensions>", 300000) +
                Repeat("</extensions>", 300000) + "</gpx>";
       }},
  };
  return shapes;
}

std::filesystem::path& Dir() {
  static std::filesystem::path dir = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-hostile-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    return std::filesystem::path(pattern);
  }();
  return dir;
}

// Reads File; true when it was accepted.
bool Read(const std::string& File) {
  TGPXFile doc;
  try {
    doc.Load(File);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// Runs Work in a child process and waits for it.
void InChild(const std::function<void()>& Work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    Work();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
}

// The peak resident memory of this process so far, in KiB.
long OwnPeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::atol(line.c_str() + 6);
    }
  }
  return -1;
}

// The peak resident memory, in KiB, of a fresh process of this program that reads File (none
// for an empty name). A fresh process, since a child made by fork starts with all the memory
// of this one, and the figure would hide what the read takes.
long PeakKiB(const std::string& File) {
  char exe[4096] = {};
  if (::readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0) {
    return -1;
  }
  const std::string command =
      std::string("'") + exe + "' --read-for-peak '" + File + "'"; // paths of our own making
  FILE* out = ::popen(command.c_str(), "r");
  long kib = -1;
  if (out && std::fscanf(out, "%ld", &kib) != 1) {
    kib = -1;
  }
  if (out) {
    ::pclose(out);
  }
  return kib;
}

void BM_ReadHostile(benchmark::State& State, const Shape* Shape) {
  const std::string file = (Dir() / (std::string(Shape->Name) + ".gpx")).string();
  if (!std::filesystem::exists(file)) {
    // Made in a child too, so that this process does not keep the memory of the text.
    InChild([&] { std::ofstream(file, std::ios::binary) << Shape->Make(); });
  }
  const double size = static_cast<double>(std::filesystem::file_size(file));
  const long base = PeakKiB("");
  const long peak = PeakKiB(file);
  bool accepted = false;
  for (auto _ : State) {
    accepted = Read(file);
  }
  const double added = static_cast<double>(peak - base) * 1024;
  State.counters["file_MiB"] = size / (1 << 20);
  State.counters["peak_MiB"] = added / (1 << 20);
  State.counters["peak_x_file"] = added / size;
  State.counters["accepted"] = accepted ? 1 : 0;
}

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::TGPXFile::RegistExtensions(tarnwick::TGPXTrkTypeTpx2::Class());
  if (argc == 3 && std::string(argv[1]) == "--read-for-peak") {
    if (*argv[2] != '\0') {
      tarnwick::Read(argv[2]);
    }
    std::printf("%ld\n", tarnwick::OwnPeakKiB());
    return 0;
  }
  for (const auto& shape : tarnwick::Shapes()) {
    benchmark::RegisterBenchmark(shape.Name, tarnwick::BM_ReadHostile, &shape)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(2);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  std::error_code ec;
  std::filesystem::remove_all(tarnwick::Dir(), ec);
  benchmark::Shutdown();
  return 0;
}
