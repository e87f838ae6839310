// What both builds share, with or without exiv2.
#include "photos/photo_metadata.hpp"

namespace tarnwick {

const char* PhotoKindText(PhotoKind Kind) {
  switch (Kind) {
  case PhotoKind::Jpeg:
    return "JPEG";
  case PhotoKind::Tiff:
    return "TIFF";
  case PhotoKind::OtherWritable:
    return "other writable";
  case PhotoKind::ReadOnly:
    return "read-only";
  case PhotoKind::NotAPhoto:
    break;
  }
  return "not a photo";
}

std::string XmpSidecarName(const std::string& File) {
  return File + ".xmp";
}

} // namespace tarnwick
