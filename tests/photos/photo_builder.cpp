#include "photos/photo_builder.hpp"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tarnwick::test {

namespace {

void PutLe16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(std::string& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

void PutBe16(std::string& out, uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

void PutBe32(std::string& out, uint32_t v) {
  PutBe16(out, v >> 16);
  PutBe16(out, v & 0xFFFF);
}

std::string Segment(uint8_t marker, const std::string& payload) {
  std::string s("\xFF", 1);
  s += static_cast<char>(marker);
  PutBe16(s, static_cast<uint32_t>(payload.size() + 2));
  return s + payload;
}

// Degrees as D/1, M/1, S*100/100.
std::vector<std::pair<uint32_t, uint32_t>> Dms(double degrees) {
  const auto hundredths = static_cast<uint32_t>(std::lround(std::fabs(degrees) * 360000));
  return {{hundredths / 360000, 1}, {hundredths / 6000 % 60, 1}, {hundredths % 6000, 100}};
}

TiffEntry Raw(uint16_t tag, uint16_t type, uint32_t count, std::string value) {
  TiffEntry e;
  e.Tag = tag;
  e.Type = type;
  e.Count = count;
  e.Value = std::move(value);
  return e;
}

} // namespace

TiffEntry AsciiEntry(uint16_t Tag, const std::string& Text) {
  return Raw(Tag, 2, static_cast<uint32_t>(Text.size() + 1), Text + '\0');
}

TiffEntry ShortEntry(uint16_t Tag, uint16_t Value) {
  TiffEntry e = Raw(Tag, 3, 1, {});
  PutLe16(e.Value, Value);
  return e;
}

TiffEntry LongEntry(uint16_t Tag, uint32_t Value) {
  TiffEntry e = Raw(Tag, 4, 1, {});
  PutLe32(e.Value, Value);
  return e;
}

TiffEntry RationalEntry(uint16_t Tag, const std::vector<std::pair<uint32_t, uint32_t>>& Values) {
  TiffEntry e = Raw(Tag, 5, static_cast<uint32_t>(Values.size()), {});
  for (const auto& [num, den] : Values) {
    PutLe32(e.Value, num);
    PutLe32(e.Value, den);
  }
  return e;
}

TiffEntry IfdPointer(uint16_t Tag, int Ifd) {
  TiffEntry e = LongEntry(Tag, 0);
  e.SubIfd = Ifd;
  return e;
}

TiffEntry BlobPointers(uint16_t Tag, const std::vector<int>& Blobs) {
  TiffEntry e =
      Raw(Tag, 4, static_cast<uint32_t>(Blobs.size()), std::string(4 * Blobs.size(), '\0'));
  e.Blobs = Blobs;
  return e;
}

std::string BuildTiff(const std::vector<TiffIfd>& Ifds, const std::vector<std::string>& Blobs) {
  std::vector<TiffIfd> ifds = Ifds;
  for (auto& ifd : ifds) {
    std::sort(ifd.begin(), ifd.end(), [](const auto& a, const auto& b) { return a.Tag < b.Tag; });
  }
  // Where each directory starts: each is followed by its values longer than four bytes.
  std::vector<uint32_t> ifdOffsets;
  uint32_t pos = 8;
  for (const auto& ifd : ifds) {
    ifdOffsets.push_back(pos);
    pos += 2 + 12 * static_cast<uint32_t>(ifd.size()) + 4;
    for (const auto& e : ifd) {
      if (e.Value.size() > 4) {
        pos += static_cast<uint32_t>((e.Value.size() + 1) & ~size_t{1});
      }
    }
  }
  std::vector<uint32_t> blobOffsets;
  for (const auto& blob : Blobs) {
    blobOffsets.push_back(pos);
    pos += static_cast<uint32_t>(blob.size());
  }
  std::string out("II*\0", 4);
  PutLe32(out, 8);
  for (size_t i = 0; i < ifds.size(); ++i) {
    const auto& ifd = ifds[i];
    PutLe16(out, static_cast<uint32_t>(ifd.size()));
    uint32_t extra = ifdOffsets[i] + 2 + 12 * static_cast<uint32_t>(ifd.size()) + 4;
    std::string values;
    for (const auto& e : ifd) {
      PutLe16(out, e.Tag);
      PutLe16(out, e.Type);
      PutLe32(out, e.Count);
      std::string value = e.Value;
      if (e.SubIfd >= 0) {
        value.clear();
        PutLe32(value, ifdOffsets.at(static_cast<size_t>(e.SubIfd)));
      } else if (!e.Blobs.empty()) {
        value.clear();
        for (const int blob : e.Blobs) {
          PutLe32(value, blobOffsets.at(static_cast<size_t>(blob)));
        }
      }
      if (value.size() <= 4) {
        out += value + std::string(4 - value.size(), '\0');
      } else {
        PutLe32(out, extra + static_cast<uint32_t>(values.size()));
        values += value;
        if (values.size() % 2 != 0) {
          values += '\0';
        }
      }
    }
    PutLe32(out, 0); // IFD0 has no next directory; the others are reached by pointers
    out += values;
  }
  for (const auto& blob : Blobs) {
    out += blob;
  }
  if (out.size() != pos) {
    throw std::logic_error("BuildTiff: layout mismatch");
  }
  return out;
}

void AddPhotoFields(const PhotoFields& Fields, std::vector<TiffIfd>& Ifds) {
  TiffIfd exif;
  if (!Fields.DateTimeOriginal.empty()) {
    exif.push_back(AsciiEntry(0x9003, Fields.DateTimeOriginal));
  }
  if (!Fields.SubSec.empty()) {
    exif.push_back(AsciiEntry(0x9291, Fields.SubSec));
  }
  if (!Fields.Offset.empty()) {
    exif.push_back(AsciiEntry(0x9011, Fields.Offset));
  }
  if (!exif.empty()) {
    Ifds.push_back(exif);
    Ifds[0].push_back(IfdPointer(0x8769, static_cast<int>(Ifds.size() - 1)));
  }
  if (Fields.Position) {
    const auto [lat, lon] = *Fields.Position;
    TiffIfd gps = {AsciiEntry(1, lat < 0 ? "S" : "N"),
                   RationalEntry(2, Dms(lat)),
                   AsciiEntry(3, lon < 0 ? "W" : "E"),
                   RationalEntry(4, Dms(lon)),
                   AsciiEntry(12, "K"),
                   RationalEntry(13, {{42, 1}})}; // a speed of 42 km/h
    Ifds.push_back(gps);
    Ifds[0].push_back(IfdPointer(0x8825, static_cast<int>(Ifds.size() - 1)));
  }
}

std::string MakeJpeg(const PhotoFields* Fields, int Width, int Height, const std::string& Trailer) {
  std::string jpeg("\xFF\xD8", 2);
  jpeg += Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
  if (Fields != nullptr) {
    std::vector<TiffIfd> ifds{{AsciiEntry(0x010F, "TestMake"), AsciiEntry(0x0110, "TestModel")}};
    AddPhotoFields(*Fields, ifds);
    jpeg += Segment(0xE1, std::string("Exif\0\0", 6) + BuildTiff(ifds, {}));
  }
  // A stand-in colour profile (a header with its size and signature, no tags): whatever it
  // holds, a rewrite must keep it.
  std::string profile(132, '\0');
  profile.replace(0, 4, std::string("\0\0\0\x84", 4));
  profile.replace(36, 4, "acsp");
  jpeg += Segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + profile);
  jpeg += Segment(0xFE, "a comment");
  std::string table(1, '\0');
  for (int i = 0; i < 64; ++i) {
    table += static_cast<char>(1 + i % 7);
  }
  jpeg += Segment(0xDB, table);
  std::string frame("\x08", 1);
  PutBe16(frame, static_cast<uint32_t>(Height));
  PutBe16(frame, static_cast<uint32_t>(Width));
  frame += std::string("\x01\x01\x11\x00", 4); // one grey component, table 0
  jpeg += Segment(0xC0, frame);
  // One code each: "0" is DC difference 0 and AC end of block, so every block is two bits.
  const std::string oneCode = std::string("\x01", 1) + std::string(15, '\0') + std::string(1, '\0');
  jpeg += Segment(0xC4, std::string(1, '\x00') + oneCode);
  jpeg += Segment(0xC4, std::string(1, '\x10') + oneCode);
  jpeg += Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
  const int blocks = (Width / 8) * (Height / 8);
  const int bits = blocks * 2;
  std::string scan(static_cast<size_t>(bits / 8), '\0');
  if (bits % 8 != 0) {
    scan += static_cast<char>(0xFF >> (bits % 8)); // padded with one bits
  }
  jpeg += scan;
  jpeg += std::string("\xFF\xD9", 2);
  return jpeg + Trailer;
}

std::string JpegScan(const std::string& Jpeg) {
  const size_t sos = Jpeg.find(std::string("\xFF\xDA", 2));
  return sos == std::string::npos ? std::string() : Jpeg.substr(sos);
}

std::vector<std::string> TiffStrips() {
  std::string first;
  std::string second;
  for (int i = 0; i < 128; ++i) {
    first += static_cast<char>(i * 7 + 3);
    second += static_cast<char>(255 - i * 5);
  }
  return {first, second};
}

std::string MakeTiff(const PhotoFields& Fields) {
  TiffIfd ifd0 = {ShortEntry(256, 16), ShortEntry(257, 16), ShortEntry(258, 8),
                  ShortEntry(259, 1),  ShortEntry(262, 1),  ShortEntry(277, 1),
                  ShortEntry(278, 8),  ShortEntry(284, 1),  AsciiEntry(0x010F, "TestMake")};
  // Two strips: their offsets and sizes as arrays outside the directory.
  ifd0.push_back(BlobPointers(273, {0, 1}));
  TiffEntry counts = Raw(279, 4, 2, {});
  PutLe32(counts.Value, 128);
  PutLe32(counts.Value, 128);
  ifd0.push_back(counts);
  std::vector<TiffIfd> ifds{ifd0};
  AddPhotoFields(Fields, ifds);
  return BuildTiff(ifds, TiffStrips());
}

std::string MakePng() {
  auto chunk = [](const std::string& type, const std::string& data) {
    std::string c;
    PutBe32(c, static_cast<uint32_t>(data.size()));
    c += type + data;
    const std::string crcOf = type + data;
    PutBe32(c, static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(crcOf.data()),
                                             static_cast<uInt>(crcOf.size()))));
    return c;
  };
  std::string header;
  PutBe32(header, 4);
  PutBe32(header, 4);
  header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey
  std::string raw;
  for (int row = 0; row < 4; ++row) {
    raw += '\0'; // no filter
    for (int x = 0; x < 4; ++x) {
      raw += static_cast<char>(row * 60 + x * 10);
    }
  }
  std::string packed(compressBound(static_cast<uLong>(raw.size())), '\0');
  uLongf size = static_cast<uLongf>(packed.size());
  ::compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
  packed.resize(size);
  return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
         chunk("tEXt", std::string("Title\0test", 10)) + chunk("IDAT", packed) + chunk("IEND", "");
}

std::string MakeWebp() {
  const std::string image("\x2F\0\0\0\0", 5); // lossless, one pixel
  std::string body = "WEBPVP8L";
  PutLe16(body, 5);
  PutLe16(body, 0);
  body += image + '\0';
  std::string riff = "RIFF";
  PutLe32(riff, static_cast<uint32_t>(body.size()));
  return riff + body;
}

} // namespace tarnwick::test
