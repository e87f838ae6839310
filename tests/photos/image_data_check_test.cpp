#include "photos/image_data_check.hpp"

#include "photos/photo_builder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using test::MakeJpeg;
using test::PhotoFields;

// The position of the first segment with Marker in a JPEG.
size_t SegmentAt(const std::string& jpeg, uint8_t marker) {
  return jpeg.find(std::string("\xFF", 1) + static_cast<char>(marker));
}

TEST(CompareJpegImageData, MetadataMayChangeNothingElse) {
  const PhotoFields fields{"2026:07:14 18:05:09", "", "", std::nullopt};
  const std::string bare = MakeJpeg(nullptr, 64, 48, "trailer");
  const std::string tagged = MakeJpeg(&fields, 64, 48, "trailer");
  // Exif added: only an APP1 segment more.
  EXPECT_EQ(CompareJpegImageData(bare, tagged), "");
  // The comment is metadata too.
  std::string recommented = tagged;
  const size_t com = SegmentAt(recommented, 0xFE);
  recommented[com + 4] = 'A';
  EXPECT_EQ(CompareJpegImageData(tagged, recommented), "");

  // A byte of the compressed data, of the trailer, of a table, of the colour profile.
  std::string scan = tagged;
  scan[scan.size() - 10] ^= 1;
  EXPECT_NE(CompareJpegImageData(tagged, scan), "");
  std::string trailer = tagged;
  trailer.back() = 'X';
  EXPECT_NE(CompareJpegImageData(tagged, trailer), "");
  std::string table = tagged;
  table[SegmentAt(table, 0xDB) + 10] ^= 1;
  EXPECT_NE(CompareJpegImageData(tagged, table), "");
  std::string profile = tagged;
  profile[SegmentAt(profile, 0xE2) + 20] ^= 1;
  EXPECT_NE(CompareJpegImageData(tagged, profile), "");
  // A larger image is other compressed data.
  EXPECT_NE(CompareJpegImageData(bare, MakeJpeg(nullptr, 64, 56, "trailer")), "");
}

TEST(CompareJpegImageData, DamagedLayoutsAreRefused) {
  const std::string good = MakeJpeg(nullptr);
  EXPECT_NE(CompareJpegImageData("", good), "");
  EXPECT_NE(CompareJpegImageData(good, "not a JPEG"), "");
  // Cut inside the segments, before any image data.
  EXPECT_NE(CompareJpegImageData(good.substr(0, 30), good.substr(0, 30)), "");
  // A segment length beyond the end.
  std::string longer = good;
  const size_t dqt = SegmentAt(longer, 0xDB);
  longer[dqt + 2] = '\x7F';
  EXPECT_NE(CompareJpegImageData(longer, longer), "");
  // An end marker before any scan.
  const std::string empty = std::string("\xFF\xD8\xFF\xD9", 4);
  EXPECT_NE(CompareJpegImageData(empty, empty), "");
}

TEST(ComparePngImageData, TextChunksMayChangeImageDataNot) {
  const std::string png = test::MakePng();
  // Without its text chunk (12 bytes of frame and 10 of text after the 25-byte header).
  const size_t text = png.find("tEXt") - 4;
  const std::string untitled = png.substr(0, text) + png.substr(text + 22);
  EXPECT_EQ(ComparePngImageData(png, untitled), "");
  std::string changed = png;
  changed[png.find("IDAT") + 6] ^= 1;
  EXPECT_NE(ComparePngImageData(png, changed), "");
  EXPECT_NE(ComparePngImageData(png, png.substr(0, png.size() - 5)), "");
  EXPECT_NE(ComparePngImageData("GIF89a", png), "");
}

TEST(CompareTiffImageData, BlocksMayMoveButNotChange) {
  const std::string old = "....AAAABBBB";
  const std::string moved = "BBBB........AAAA";
  const ImageBlocks oldBlocks = {{"Image.StripOffsets", {{4, 4}, {8, 4}}}};
  EXPECT_EQ(
      CompareTiffImageData(old, oldBlocks, moved, {{"Image.StripOffsets", {{12, 4}, {0, 4}}}}), "");
  EXPECT_NE(
      CompareTiffImageData(old, oldBlocks, moved, {{"Image.StripOffsets", {{0, 4}, {12, 4}}}}), "");
  EXPECT_NE(CompareTiffImageData(old, oldBlocks, moved, {{"Image.StripOffsets", {{12, 4}}}}), "");
  EXPECT_NE(
      CompareTiffImageData(old, oldBlocks, moved, {{"Image2.StripOffsets", {{12, 4}, {0, 4}}}}),
      "");
  // Beyond the end, by offset or by size, and offsets that would overflow.
  EXPECT_NE(
      CompareTiffImageData(old, oldBlocks, moved, {{"Image.StripOffsets", {{14, 4}, {0, 4}}}}), "");
  EXPECT_NE(CompareTiffImageData(old, {{"Image.StripOffsets", {{~uint64_t{0}, 2}}}}, old,
                                 {{"Image.StripOffsets", {{~uint64_t{0}, 2}}}}),
            "");
  // Nothing to compare is no proof.
  EXPECT_NE(CompareTiffImageData(old, {}, old, {}), "");
  EXPECT_NE(
      CompareTiffImageData(old, {{"Image.StripOffsets", {}}}, old, {{"Image.StripOffsets", {}}}),
      "");
}

} // namespace
} // namespace tarnwick
