#include "common/test_jpeg.hpp"

#include <vector>

namespace tarnwick::test {

namespace {

void Be16(std::string& Out, size_t Value) {
  Out += static_cast<char>((Value >> 8) & 0xff);
  Out += static_cast<char>(Value & 0xff);
}
void Le16(std::string& Out, uint32_t Value) {
  Out += static_cast<char>(Value & 0xff);
  Out += static_cast<char>((Value >> 8) & 0xff);
}
void Le32(std::string& Out, uint32_t Value) {
  Le16(Out, Value & 0xffff);
  Le16(Out, Value >> 16);
}

// A TIFF structure (little-endian) with IFD0 pointing to an Exif IFD of ASCII tags.
std::string ExifBlock(const TestExif& Exif) {
  struct Tag {
    uint16_t Id;
    std::string Text;
  };
  std::vector<Tag> tags;
  // In ascending tag order, as TIFF wants them.
  for (const Tag& t : {Tag{0x9003, Exif.DateTimeOriginal}, Tag{0x9011, Exif.OffsetTimeOriginal},
                       Tag{0x9291, Exif.SubSecTimeOriginal}}) {
    if (!t.Text.empty()) {
      tags.push_back(t);
    }
  }
  const uint32_t ifd0 = 8;
  const uint32_t exifIfd = ifd0 + 2 + 12 + 4;
  uint32_t data = exifIfd + 2 + 12 * static_cast<uint32_t>(tags.size()) + 4;
  std::string tiff = "II";
  Le16(tiff, 42);
  Le32(tiff, ifd0);
  Le16(tiff, 1);
  Le16(tiff, 0x8769); // ExifIFDPointer
  Le16(tiff, 4);      // LONG
  Le32(tiff, 1);
  Le32(tiff, exifIfd);
  Le32(tiff, 0);
  Le16(tiff, static_cast<uint32_t>(tags.size()));
  std::string values;
  for (const Tag& t : tags) {
    std::string v = t.Text + '\0';
    Le16(tiff, t.Id);
    Le16(tiff, 2); // ASCII
    Le32(tiff, static_cast<uint32_t>(v.size()));
    if (v.size() <= 4) {
      v.resize(4, '\0');
      tiff += v;
    } else {
      Le32(tiff, data);
      if (v.size() % 2 != 0) {
        v += '\0'; // values start on word boundaries
      }
      data += static_cast<uint32_t>(v.size());
      values += v;
    }
  }
  Le32(tiff, 0);
  return tiff + values;
}

void Segment(std::string& Out, uint8_t Marker, const std::string& Body) {
  Out += '\xff';
  Out += static_cast<char>(Marker);
  Be16(Out, Body.size() + 2);
  Out += Body;
}

} // namespace

std::string MakeTestJpeg(const TestExif& Exif, int Width, int Height, uint32_t Seed) {
  std::string jpeg = "\xff\xd8";
  Segment(jpeg, 0xe1, std::string("Exif\0\0", 6) + ExifBlock(Exif));
  Segment(jpeg, 0xdb, std::string(1, '\0') + std::string(64, '\x01')); // quantisation: all 1
  std::string sof(1, '\x08');
  Be16(sof, static_cast<size_t>(Height));
  Be16(sof, static_cast<size_t>(Width));
  sof += std::string("\x01\x01\x11\x00", 4); // one component, 1x1 sampling, table 0
  Segment(jpeg, 0xc0, sof);
  // Huffman tables chosen so that every coded coefficient is one whole byte: the DC table has
  // one 8-bit code (00000000, difference 0); the AC table's fifth 4-bit code (0100) is
  // "run 0, 4 bits", so a byte 0x40..0x4F is one coefficient of magnitude 8..15. No byte of the
  // scan can be 0xFF, so it needs no stuffing.
  std::string dc(1, '\x00');
  dc += std::string("\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0", 16);
  dc += '\x00';
  Segment(jpeg, 0xc4, dc);
  std::string ac(1, '\x10');
  ac += std::string("\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\0", 16);
  ac += std::string("\x00\x01\x02\x03\x04", 5);
  Segment(jpeg, 0xc4, ac);
  Segment(jpeg, 0xda, std::string("\x01\x01\x00\x00\x3f\x00", 6));
  const int blocks = ((Width + 7) / 8) * ((Height + 7) / 8);
  uint32_t state = Seed * 2654435761u + 1;
  for (int b = 0; b < blocks; ++b) {
    jpeg += '\x00';
    for (int k = 0; k < 63; ++k) {
      state = state * 1664525u + 1013904223u;
      jpeg += static_cast<char>(0x40 | (state >> 28));
    }
  }
  jpeg += "\xff\xd9";
  return jpeg;
}

} // namespace tarnwick::test
