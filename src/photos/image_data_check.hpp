#pragma once

// Checks that a rewrite of a photo's metadata left its image data alone, on the layout of the
// file itself (no metadata library involved): what the write must never change, compared byte
// by byte between the old file and the new one.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

/// JPEG: every segment before the first scan except the metadata ones (APP1 Exif/XMP, APP13
/// IPTC, COM) in the same order with the same bytes (quantisation and Huffman tables, frame
/// header, APP0, ICC profile, Adobe APP14, ...), and every byte from the first SOS marker to the
/// end of the file the same. Empty when so, else why not.
std::string CompareJpegImageData(std::string_view Old, std::string_view New);

/// PNG: every chunk except the text and Exif ones (tEXt, zTXt, iTXt, eXIf) in the same order
/// with the same bytes, image data (IDAT), palette and colour information included.
std::string ComparePngImageData(std::string_view Old, std::string_view New);

/// One block of image data by its offset and size in the file, as a TIFF directory gives it
/// (StripOffsets/StripByteCounts, TileOffsets/TileByteCounts, JPEGInterchangeFormat/Length).
struct ImageBlock {
  uint64_t Offset = 0;
  uint64_t Size = 0;
};
/// The image data blocks of one directory, named by the directory ("Image", "SubImage1", ...).
using ImageBlocks = std::vector<std::pair<std::string, std::vector<ImageBlock>>>;

/// TIFF: the same directories have image data in both files, each with as many blocks, and
/// every block's bytes are the same (they may have moved). Blocks beyond the end of their file
/// fail the check. At least one block must be there.
std::string CompareTiffImageData(std::string_view Old, const ImageBlocks& OldBlocks,
                                 std::string_view New, const ImageBlocks& NewBlocks);

} // namespace tarnwick
