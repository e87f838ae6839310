// The photo metadata of a build without exiv2 (the Windows cross build): every photo is
// refused with the reason, so a command can say so once and plainly.
#include "photos/photo_metadata.hpp"

#include "support/errors.hpp"

namespace tarnwick {

namespace {

[[noreturn]] void Absent(const std::string& file) {
  throw PhotoError(file, "Cannot geotag \"" + file +
                             "\": this build of tarnwick has no photo metadata library (exiv2 "
                             "is not built for Windows); use the Linux build");
}

} // namespace

bool PhotoMetadataAvailable() {
  return false;
}

PhotoInfo ReadPhotoInfoFromMemory(const std::string& File, std::string_view Bytes) {
  (void)Bytes;
  Absent(File);
}

PhotoInfo ReadPhotoInfo(const std::string& File) {
  Absent(File);
}

std::string TagPhotoBytes(const std::string& File, std::string_view Bytes, const GpsFix& Fix) {
  (void)Bytes;
  (void)Fix;
  Absent(File);
}

void WriteGpsTags(const std::string& File, const GpsFix& Fix, const WriteOptions& Options) {
  (void)Fix;
  (void)Options;
  Absent(File);
}

void WriteXmpSidecar(const std::string& File, const GpsFix& Fix) {
  (void)Fix;
  Absent(File);
}

} // namespace tarnwick
