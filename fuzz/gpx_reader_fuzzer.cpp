// Reads fuzzed GPX text. Whatever the reader accepts must write a file, in both layouts, that
// the reader accepts again with the same way points, tracks and points (less, in the strict
// layout, those with an impossible position).
#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using tarnwick::TGPXFile;

namespace {

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "gpx_reader_fuzzer: %s\n", What);
    std::abort();
  }
}

// Whether B, read from what A wrote, has A's way points, tracks and points; a strict A leaves
// out the points whose position the schemas forbid.
bool SameShape(const TGPXFile& A, const TGPXFile& B) {
  const auto kept = [&](const tarnwick::TGPXWptType& P) {
    return !A.Strict() || P.HasSchemaPosition();
  };
  int wayPoints = 0;
  for (int i = 0; i < A.WayPoints().Count(); ++i) {
    wayPoints += kept(A.WayPoints().Points(i)) ? 1 : 0;
  }
  if (wayPoints != B.WayPoints().Count() || A.Tracks().Count() != B.Tracks().Count() ||
      A.Version() != B.Version()) {
    return false;
  }
  for (int i = 0; i < A.Tracks().Count(); ++i) {
    int points = 0;
    for (const auto& seg : A.Tracks()[i].TrkSeg()) {
      points += kept(seg.trkpt) ? 1 : 0;
    }
    if (points != B.Tracks()[i].Count()) {
      return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool registered = [] {
    TGPXFile::RegistExtensions(tarnwick::TGPXTrkTypeTpx2::Class());
    return true;
  }();
  (void)registered;

  TGPXFile doc;
  try {
    doc.LoadFromString(std::string(reinterpret_cast<const char*>(Data), Size), "fuzz");
  } catch (const tarnwick::Error&) {
    return 0;
  }
  for (const bool strict : {false, true}) {
    doc.SetStrict(strict);
    const std::string text = doc.SaveToString();
    TGPXFile again;
    try {
      again.LoadFromString(text, "rewritten");
    } catch (const tarnwick::Error& e) {
      std::fprintf(stderr, "%s\n", e.what());
      Check(false, "a written file does not read back");
    }
    Check(SameShape(doc, again), "a written file reads back with other counts");
  }
  return 0;
}
