// Hostile photo files through exiv2 as the photos layer reads them: the kind, capture time and
// position; for the formats it writes (small inputs only), the whole tagging in memory with its
// read-back and image-data checks; and the image-data comparisons on two halves of the input.
#include "photos/image_data_check.hpp"
#include "photos/photo_metadata.hpp"
#include "support/errors.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "photo_metadata_fuzzer: %s\n", What);
    std::abort();
  }
}

bool Printable(const std::string& text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace tarnwick;
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  const PhotoInfo info = ReadPhotoInfoFromMemory("fuzz.jpg", bytes);
  Check(Printable(info.Note), "a note with control bytes");
  if (info.Position) {
    Check(std::fabs(info.Position->first) <= 90 && std::fabs(info.Position->second) <= 180,
          "a position off the globe");
  }
  if (info.Captured) {
    Check(!info.Captured->Text.empty(), "a capture time without its text");
  }
  const bool writable = info.Kind == PhotoKind::Jpeg || info.Kind == PhotoKind::Tiff ||
                        info.Kind == PhotoKind::OtherWritable;
  if (writable && Size <= 16384) {
    try {
      const GpsFix fix{-12.3456789, 98.7654321, 123.456, int64_t{1'700'000'000'123}};
      const std::string tagged = TagPhotoBytes("fuzz.jpg", bytes, fix);
      const PhotoInfo back = ReadPhotoInfoFromMemory("fuzz.jpg", tagged);
      Check(back.Kind == info.Kind, "tagging changed the kind");
      Check(back.Position && std::fabs(back.Position->first - fix.Latitude) < 1e-7 &&
                std::fabs(back.Position->second - fix.Longitude) < 1e-7,
            "a checked write without its position");
    } catch (const PhotoError& e) {
      Check(Printable(e.what()), "an error with control bytes");
    }
  }
  const std::string_view first = bytes.substr(0, Size / 2);
  const std::string_view second = bytes.substr(Size / 2);
  // Sameness of image data does not depend on which file is the old one.
  Check(CompareJpegImageData(first, second).empty() == CompareJpegImageData(second, first).empty(),
        "the JPEG comparison is not symmetric");
  Check(ComparePngImageData(first, second).empty() == ComparePngImageData(second, first).empty(),
        "the PNG comparison is not symmetric");
  return 0;
}
