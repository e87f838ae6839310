#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::test {

/// The EXIF texts of a test photo; an empty text leaves its tag out.
struct TestExif {
  std::string DateTimeOriginal; ///< "2026:06:20 10:15:02"
  std::string SubSecTimeOriginal;
  std::string OffsetTimeOriginal; ///< "+02:00"
};

/// A small valid baseline JPEG (grey, Width x Height rounded up to whole 8x8 blocks) with an
/// EXIF block holding Exif's texts. Its scan is noise from Seed, every byte of it decodable, so
/// that photos made with different seeds have different image data and no image data repeats
/// the markers. Built by hand: the tests need no image library.
std::string MakeTestJpeg(const TestExif& Exif, int Width = 16, int Height = 16, uint32_t Seed = 1);

} // namespace tarnwick::test
