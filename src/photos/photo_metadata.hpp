#pragma once

// Reading and writing a photo's metadata: what kind of file it is, when it was taken, the
// position it has, and the GPS tags a position goes into. The only place that uses exiv2.

#include "photos/photo_time.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

/// What can be done with a file's metadata.
enum class PhotoKind {
  /// JPEG: tags written into the file.
  Jpeg,
  /// TIFF, and raw formats built on TIFF that exiv2 writes (DNG, NEF, CR2, ORF, ...): tags
  /// written into the file.
  Tiff,
  /// Another format whose image data the write can check (PNG): tags written into the file.
  OtherWritable,
  /// A photo exiv2 reads but that is not written here: only a sidecar gets the tags.
  ReadOnly,
  /// Not a photo exiv2 knows (or a damaged one): left alone.
  NotAPhoto,
};

/// "JPEG", "TIFF", "other writable", "read-only", "not a photo".
const char* PhotoKindText(PhotoKind Kind);

/// What ReadPhotoInfo found.
struct PhotoInfo {
  std::string File;
  PhotoKind Kind = PhotoKind::NotAPhoto;
  /// Empty: the photo has no usable DateTimeOriginal.
  std::optional<CaptureTime> Captured;
  /// Latitude and longitude in degrees of the GPS position the photo already has.
  std::optional<std::pair<double, double>> Position;
  /// Why it is not a photo, or why only a sidecar can be written; printable text.
  std::string Note;
};

/// The largest photo read or written: 512 MiB. Photos of the largest sensors are a few hundred
/// megabytes at most; a bigger file is refused rather than held in memory twice.
inline constexpr size_t kMaxPhotoBytes = size_t{512} << 20;

/// Reads File once (at most kMaxPhotoBytes) and tells its kind, capture time and position. A
/// file exiv2 does not know or cannot parse comes back as NotAPhoto with a note. Raises
/// PhotoError naming the file when it cannot be read: missing, unreadable, too big, or a
/// symbolic link, FIFO, device or folder (never followed or opened).
PhotoInfo ReadPhotoInfo(const std::string& File);
/// The same on the bytes of a file already in memory; File only names it in notes.
PhotoInfo ReadPhotoInfoFromMemory(const std::string& File, std::string_view Bytes);

/// A position to write, from the track.
struct GpsFix {
  double Latitude = 0;  // degrees, WGS84, north positive
  double Longitude = 0; // degrees, east positive
  /// Metres above sea level (the GPX export's "ele"); NaN writes no altitude tags.
  double Elevation = std::nan("");
  /// The moment of the fix: UTC milliseconds since 1970.
  int64_t UtcMs = 0;
};

struct WriteOptions {
  /// Keep the photo's access and modification times (photo libraries sort by them).
  bool KeepModifiedTime = true;
  /// Keep the original as NAME.original (a hard link, or a copy where the file system has
  /// none). An existing NAME.original is never replaced: the write is refused instead.
  bool Backup = false;
};

/// Writes the GPS tags into File (JPEG, TIFF or OtherWritable). The photo is read once; the
/// tags are set in memory, replacing the photo's whole GPS block (no tag of an older fix stays
/// beside the new one); the result is read back (every tag present with its value, the
/// compressed image data byte-identical to the original's), written to a temporary beside the
/// photo, flushed, given the photo's times, and renamed over it, keeping its permission bits.
/// Any failure raises PhotoError naming the file and leaves the photo byte-identical with no
/// file beside it.
void WriteGpsTags(const std::string& File, const GpsFix& Fix, const WriteOptions& Options);

/// The photo's new bytes with the GPS tags, checked as WriteGpsTags checks them, without any
/// file: for the tests and the fuzzing of the check. File only names the photo in errors.
std::string TagPhotoBytes(const std::string& File, std::string_view Bytes, const GpsFix& Fix);

/// The XMP sidecar of File: its whole name with ".xmp" added ("IMG_1.JPG" -> "IMG_1.JPG.xmp"),
/// the default of darktable and digiKam, which keeps "IMG_1.JPG" and "IMG_1.CR2" apart.
std::string XmpSidecarName(const std::string& File);

/// Writes the position into File's sidecar (XmpSidecarName) and leaves File alone. An existing
/// sidecar keeps all its other properties; only its exif:GPS ones are replaced. Written through
/// a temporary and a rename; a sidecar that cannot be parsed is refused, not replaced.
void WriteXmpSidecar(const std::string& File, const GpsFix& Fix);

} // namespace tarnwick
