#pragma once

// Small photos built byte by byte, so the tests need no sample files: TIFF directories, the
// Exif block of a JPEG, a baseline JPEG, an uncompressed TIFF and a PNG.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::test {

/// One entry of a TIFF directory. Value holds the little-endian bytes; an entry may instead
/// point at another directory (SubIfd) or hold the offsets of blocks of data (Blobs) of the
/// same file.
struct TiffEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  std::string Value;
  int SubIfd = -1;
  std::vector<int> Blobs;
};
using TiffIfd = std::vector<TiffEntry>;

TiffEntry AsciiEntry(uint16_t Tag, const std::string& Text);
TiffEntry ShortEntry(uint16_t Tag, uint16_t Value);
TiffEntry LongEntry(uint16_t Tag, uint32_t Value);
TiffEntry RationalEntry(uint16_t Tag, const std::vector<std::pair<uint32_t, uint32_t>>& Values);
/// A LONG entry holding the offset of directory Ifd.
TiffEntry IfdPointer(uint16_t Tag, int Ifd);
/// LONG entries holding the offsets of the blobs numbered Blobs (strip offsets).
TiffEntry BlobPointers(uint16_t Tag, const std::vector<int>& Blobs);

/// A little-endian TIFF: header, Ifds[0] as the first directory (the others reached only
/// through pointers), every directory's long values after it, then the blobs.
std::string BuildTiff(const std::vector<TiffIfd>& Ifds, const std::vector<std::string>& Blobs);

/// What a test photo carries.
struct PhotoFields {
  std::string DateTimeOriginal; // empty: no tag
  std::string SubSec;           // empty: no tag
  std::string Offset;           // empty: no tag
  /// A GPS position already there (with a speed tag, to see a rewrite drop it).
  std::optional<std::pair<double, double>> Position;
};

/// The directories of Fields for IFD0 (appended to Ifd0), with the Exif and GPS directories
/// they need appended to Ifds.
void AddPhotoFields(const PhotoFields& Fields, std::vector<TiffIfd>& Ifds);

/// A baseline 8-bit grey JPEG of Width x Height pixels (multiples of 8, every block flat) with
/// APP0 JFIF, an Exif APP1 when Fields is given, an APP2 colour profile, a comment, and Trailer
/// after the end marker (as cameras append preview images).
std::string MakeJpeg(const PhotoFields* Fields, int Width = 64, int Height = 48,
                     const std::string& Trailer = {});
/// The compressed data of MakeJpeg's image, from its first SOS marker to the end.
std::string JpegScan(const std::string& Jpeg);

/// An uncompressed 16 x 16 grey TIFF in two strips of recognisable bytes, with Fields.
std::string MakeTiff(const PhotoFields& Fields);
/// The two strips MakeTiff stores.
std::vector<std::string> TiffStrips();

/// A 4 x 4 grey PNG with a text chunk.
std::string MakePng();

/// A lossless WebP of one pixel: a format exiv2 writes, but whose image data the write
/// cannot check, so only a sidecar is written for it.
std::string MakeWebp();

} // namespace tarnwick::test
