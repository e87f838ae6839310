#include "photos/photo_metadata.hpp"

#include "photos/exiv2_support.hpp"
#include "photos/image_data_check.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/os_files.hpp"
#include "support/str_util.hpp"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace tarnwick {

namespace {

const Exiv2::byte* DataOf(std::string_view bytes) {
  return reinterpret_cast<const Exiv2::byte*>(bytes.data());
}

long SizeOf(std::string_view bytes) {
  return static_cast<long>(bytes.size());
}

// The TIFF-based formats exiv2 writes: TIFF itself with DNG, NEF, PEF, ARW, SR2 and the
// like (all opened as TIFF), and CR2 and ORF, which have classes of their own.
bool IsTiffBased(int type) {
  return type == Exiv2::ImageType::tiff || type == Exiv2::ImageType::cr2 ||
         type == Exiv2::ImageType::orf;
}

struct OpenedPhoto {
  int Type = Exiv2::ImageType::none;
  // The bytes of an image opened for writing: exiv2 writes some formats (TIFF) in place into
  // the memory it was opened on, which must then not be the caller's.
  std::unique_ptr<char[]> Copy;
  // exiv2 0.27 hands out std::auto_ptr; owned here as a unique_ptr.
  std::unique_ptr<Exiv2::Image> Image;
};

// The image in Bytes with its metadata read; no image when exiv2 does not know the format.
// Raises what exiv2 raises for a damaged file. Unless ForWriting, exiv2 reads Bytes in place,
// so they must outlive the image.
OpenedPhoto OpenPhoto(std::string_view bytes, bool forWriting = false) {
  InitExiv2();
  OpenedPhoto photo;
  photo.Type = Exiv2::ImageFactory::getType(DataOf(bytes), SizeOf(bytes));
  if (photo.Type == Exiv2::ImageType::none) {
    return photo;
  }
  if (forWriting) {
    photo.Copy = std::make_unique_for_overwrite<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), photo.Copy.get());
    bytes = std::string_view(photo.Copy.get(), bytes.size());
  }
  photo.Image.reset(Exiv2::ImageFactory::open(DataOf(bytes), SizeOf(bytes)).release());
  photo.Image->readMetadata();
  return photo;
}

PhotoKind KindOf(const OpenedPhoto& photo, std::string& note) {
  const int type = photo.Type;
  if (type == Exiv2::ImageType::none) {
    note = "not a photo: no image format exiv2 knows";
    return PhotoKind::NotAPhoto;
  }
  if (type == Exiv2::ImageType::xmp || type == Exiv2::ImageType::exv) {
    note = "not a photo: a metadata file";
    return PhotoKind::NotAPhoto;
  }
  if (type == Exiv2::ImageType::jpeg) {
    return PhotoKind::Jpeg;
  }
  const bool writable = (Exiv2::ImageFactory::checkMode(type, Exiv2::mdExif) & Exiv2::amWrite) != 0;
  if (writable && IsTiffBased(type)) {
    return PhotoKind::Tiff;
  }
  if (writable && type == Exiv2::ImageType::png) {
    return PhotoKind::OtherWritable;
  }
  const std::string format = photo.Image ? EscapeControls(photo.Image->mimeType()) : "this";
  note = writable ? "tags are not written into " + format +
                        " files here (their image data cannot be checked): sidecar only"
                  : "exiv2 cannot write tags into " + format + " files: sidecar only";
  return PhotoKind::ReadOnly;
}

// An ASCII tag's text; empty when missing, of another type, or longer than any date field.
std::string ShortText(const Exiv2::ExifData& exif, const Exiv2::ExifKey& key) {
  const auto it = exif.findKey(key);
  if (it == exif.end() || it->typeId() != Exiv2::asciiString || it->size() > 64) {
    return {};
  }
  return it->toString();
}

// Degrees of a GPS coordinate tag (three rationals: degrees, minutes, seconds) with its
// reference letter; empty unless every part is there and sensible.
std::optional<double> Coordinate(const Exiv2::ExifData& exif, const char* valueKey,
                                 const char* refKey, char positive, char negative, double limit) {
  const auto it = exif.findKey(Exiv2::ExifKey(valueKey));
  if (it == exif.end() || it->count() != 3) {
    return std::nullopt;
  }
  const auto* parts = dynamic_cast<const Exiv2::URationalValue*>(&it->value());
  if (parts == nullptr || parts->value_.size() != 3) {
    return std::nullopt;
  }
  double degrees = 0;
  double unit = 1;
  for (const Exiv2::URational& part : parts->value_) {
    if (part.second == 0) {
      return std::nullopt;
    }
    degrees += static_cast<double>(part.first) / part.second / unit;
    unit *= 60;
  }
  const std::string ref = ShortText(exif, Exiv2::ExifKey(refKey));
  if (ref.empty() || (ref[0] != positive && ref[0] != negative) || !(degrees <= limit)) {
    return std::nullopt;
  }
  return ref[0] == negative ? -degrees : degrees;
}

std::optional<std::pair<double, double>> PositionOf(const Exiv2::ExifData& exif) {
  // "V": the receiver had no fix, whatever numbers the camera filled in.
  if (ShortText(exif, Exiv2::ExifKey("Exif.GPSInfo.GPSStatus")) == "V") {
    return std::nullopt;
  }
  const auto latitude =
      Coordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'N', 'S', 90);
  const auto longitude =
      Coordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'E', 'W', 180);
  if (!latitude || !longitude) {
    return std::nullopt;
  }
  return std::make_pair(*latitude, *longitude);
}

// A position only the photo's XMP holds (some editors write nothing else), through exiv2's
// own conversion of XMP coordinates into Exif ones.
std::optional<std::pair<double, double>> XmpPositionOf(const Exiv2::XmpData& xmp) {
  Exiv2::XmpData gps;
  for (const auto& datum : xmp) {
    if (datum.key().compare(0, 12, "Xmp.exif.GPS") == 0) {
      gps.add(datum);
    }
  }
  if (gps.empty()) {
    return std::nullopt;
  }
  try {
    Exiv2::ExifData exif;
    Exiv2::copyXmpToExif(gps, exif);
    return PositionOf(exif);
  } catch (...) {
    return std::nullopt; // a malformed coordinate is no position
  }
}

std::optional<CaptureTime> CapturedOf(const Exiv2::ExifData& exif) {
  // By number: the offset tags are newer than some of exiv2's tag tables.
  return MakeCaptureTime(ShortText(exif, Exiv2::ExifKey(0x9003, "Photo")),  // DateTimeOriginal
                         ShortText(exif, Exiv2::ExifKey(0x9291, "Photo")),  // SubSecTimeOriginal
                         ShortText(exif, Exiv2::ExifKey(0x9011, "Photo"))); // OffsetTimeOriginal
}

// ---- the GPS tags ------------------------------------------------------------------------

struct Tag {
  std::string Key;
  std::unique_ptr<Exiv2::Value> Value;
};

std::unique_ptr<Exiv2::Value> Read(Exiv2::TypeId type, const std::string& text) {
  std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
  value->read(text);
  return value;
}

std::unique_ptr<Exiv2::Value> Rationals(std::initializer_list<Exiv2::URational> parts) {
  auto value = std::make_unique<Exiv2::URationalValue>();
  value->value_.assign(parts.begin(), parts.end());
  return value;
}

// Degrees, minutes and seconds of arc, the seconds in millionths: 1e-6 seconds of arc is
// about 3e-10 degrees, far below what a reader prints.
std::unique_ptr<Exiv2::Value> Dms(double degrees) {
  const auto micro = static_cast<uint64_t>(std::llround(std::fabs(degrees) * 3600.0 * 1e6));
  const auto whole = static_cast<uint32_t>(micro / 3'600'000'000ULL);
  const auto minutes = static_cast<uint32_t>(micro / 60'000'000ULL % 60);
  const auto seconds = static_cast<uint32_t>(micro % 60'000'000ULL);
  return Rationals({{whole, 1}, {minutes, 1}, {seconds, 1'000'000}});
}

void CheckFix(const std::string& file, const GpsFix& fix) {
  // Up to the end of 9999, the last year a GPS date stamp can hold.
  constexpr int64_t kLastMs = int64_t{253'402'300'800'000};
  if (!(std::fabs(fix.Latitude) <= 90) || !(std::fabs(fix.Longitude) <= 180) ||
      std::isinf(fix.Elevation) || (!std::isnan(fix.Elevation) && std::fabs(fix.Elevation) > 1e6) ||
      fix.UtcMs < 0 || fix.UtcMs >= kLastMs) {
    throw PhotoError(file, "Cannot write GPS tags into photo \"" + file +
                               "\": the position or its time is out of range");
  }
}

std::vector<Tag> GpsTags(const GpsFix& fix) {
  std::vector<Tag> tags;
  auto add = [&](const char* key, std::unique_ptr<Exiv2::Value> value) {
    tags.push_back({key, std::move(value)});
  };
  add("Exif.GPSInfo.GPSVersionID", Read(Exiv2::unsignedByte, "2 3 0 0"));
  add("Exif.GPSInfo.GPSLatitudeRef", Read(Exiv2::asciiString, fix.Latitude < 0 ? "S" : "N"));
  add("Exif.GPSInfo.GPSLatitude", Dms(fix.Latitude));
  add("Exif.GPSInfo.GPSLongitudeRef", Read(Exiv2::asciiString, fix.Longitude < 0 ? "W" : "E"));
  add("Exif.GPSInfo.GPSLongitude", Dms(fix.Longitude));
  if (!std::isnan(fix.Elevation)) {
    add("Exif.GPSInfo.GPSAltitudeRef", Read(Exiv2::unsignedByte, fix.Elevation < 0 ? "1" : "0"));
    const auto mm = static_cast<uint32_t>(std::llround(std::fabs(fix.Elevation) * 1000));
    add("Exif.GPSInfo.GPSAltitude", Rationals({{mm, 1000}}));
  }
  const int64_t ofDay = fix.UtcMs % 86'400'000;
  const auto ms = static_cast<uint32_t>(ofDay % 60'000);
  const auto minutes = static_cast<uint32_t>(ofDay / 60'000);
  add("Exif.GPSInfo.GPSTimeStamp", Rationals({{minutes / 60, 1}, {minutes % 60, 1}, {ms, 1000}}));
  std::string date = FormatPhotoTime(fix.UtcMs, false).substr(0, 10);
  date[4] = ':';
  date[7] = ':';
  add("Exif.GPSInfo.GPSDateStamp", Read(Exiv2::asciiString, date));
  add("Exif.GPSInfo.GPSMapDatum", Read(Exiv2::asciiString, "WGS-84"));
  return tags;
}

bool IsGpsKey(const std::string& key) {
  return key.compare(0, 12, "Xmp.exif.GPS") == 0;
}

void SetGpsTags(Exiv2::Image& image, const std::vector<Tag>& tags) {
  Exiv2::ExifData& exif = image.exifData();
  for (auto it = exif.begin(); it != exif.end();) {
    it = it->groupName() == "GPSInfo" ? exif.erase(it) : std::next(it);
  }
  for (const Tag& tag : tags) {
    exif.add(Exiv2::ExifKey(tag.Key), tag.Value.get());
  }
  // A position in the photo's XMP would contradict the new one; readers prefer XMP. Without
  // one, the XMP packet is written back exactly as it was read.
  Exiv2::XmpData& xmp = image.xmpData();
  bool xmpHasGps = false;
  for (auto it = xmp.begin(); it != xmp.end();) {
    if (IsGpsKey(it->key())) {
      it = xmp.erase(it);
      xmpHasGps = true;
    } else {
      ++it;
    }
  }
  image.writeXmpFromPacket(!xmpHasGps);
}

// The Exif keys outside the GPS block, with how often each occurs.
std::map<std::string, int> OtherKeys(const Exiv2::ExifData& exif) {
  std::map<std::string, int> keys;
  for (const auto& datum : exif) {
    if (datum.groupName() != "GPSInfo") {
      ++keys[datum.key()];
    }
  }
  return keys;
}

// The image data blocks of every directory of a TIFF-based file, as exiv2 read them.
ImageBlocks BlocksOf(const Exiv2::ExifData& exif) {
  struct Pair {
    const char* Offsets;
    const char* Sizes;
  };
  static constexpr Pair kPairs[] = {{"StripOffsets", "StripByteCounts"},
                                    {"TileOffsets", "TileByteCounts"},
                                    {"JPEGInterchangeFormat", "JPEGInterchangeFormatLength"}};
  std::map<std::string, std::vector<ImageBlock>> groups;
  for (const auto& datum : exif) {
    for (const Pair& pair : kPairs) {
      if (datum.tagName() != pair.Offsets) {
        continue;
      }
      const std::string group = datum.groupName();
      const auto sizes = exif.findKey(Exiv2::ExifKey("Exif." + group + "." + pair.Sizes));
      if (sizes == exif.end() || sizes->count() != datum.count()) {
        throw Exiv2::Error(Exiv2::kerCorruptedMetadata); // blocks that cannot be checked
      }
      auto& blocks = groups[group + "." + pair.Offsets];
      for (long i = 0; i < datum.count(); ++i) {
        const int64_t offset = datum.toLong(i);
        const int64_t size = sizes->toLong(i);
        if (offset < 0 || size < 0) {
          throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
        }
        blocks.push_back({static_cast<uint64_t>(offset), static_cast<uint64_t>(size)});
      }
    }
  }
  return {groups.begin(), groups.end()};
}

std::string CheckTags(const Exiv2::ExifData& exif, const std::vector<Tag>& tags) {
  for (const Tag& tag : tags) {
    const auto it = exif.findKey(Exiv2::ExifKey(tag.Key));
    if (it == exif.end()) {
      return tag.Key + " is missing";
    }
    if (it->typeId() != tag.Value->typeId() || it->count() != tag.Value->count() ||
        it->toString() != tag.Value->toString()) {
      return tag.Key + " reads back as " + EscapeControls(it->toString());
    }
  }
  return {};
}

// Why the rewritten New is not the original Old with the tags added, or empty when it is.
std::string CheckRewrite(const OpenedPhoto& old, std::string_view oldBytes,
                         std::string_view newBytes, const std::vector<Tag>& tags) {
  const OpenedPhoto now = OpenPhoto(newBytes);
  if (now.Type != old.Type || !now.Image) {
    return "the rewritten file is no longer of its format";
  }
  const Exiv2::ExifData& exif = now.Image->exifData();
  if (std::string problem = CheckTags(exif, tags); !problem.empty()) {
    return problem;
  }
  const auto before = OtherKeys(old.Image->exifData());
  const auto after = OtherKeys(exif);
  for (const auto& [key, count] : before) {
    const auto found = after.find(key);
    if (found == after.end() || found->second < count) {
      return "the rewritten file lost the tag " + EscapeControls(key);
    }
  }
  if (old.Type == Exiv2::ImageType::jpeg) {
    return CompareJpegImageData(oldBytes, newBytes);
  }
  if (old.Type == Exiv2::ImageType::png) {
    return ComparePngImageData(oldBytes, newBytes);
  }
  return CompareTiffImageData(oldBytes, BlocksOf(old.Image->exifData()), newBytes, BlocksOf(exif));
}

std::string Quoted(const std::string& file) {
  return "\"" + file + "\"";
}

} // namespace

PhotoInfo ReadPhotoInfoFromMemory(const std::string& File, std::string_view Bytes) {
  PhotoInfo info;
  info.File = File;
  if (Bytes.size() > kMaxPhotoBytes) {
    info.Note = "not read: larger than 512 MiB";
    return info;
  }
  try {
    const OpenedPhoto photo = OpenPhoto(Bytes);
    info.Kind = KindOf(photo, info.Note);
    if (photo.Image && info.Kind != PhotoKind::NotAPhoto) {
      const Exiv2::ExifData& exif = photo.Image->exifData();
      info.Captured = CapturedOf(exif);
      info.Position = PositionOf(exif);
      if (!info.Position) {
        info.Position = XmpPositionOf(photo.Image->xmpData());
      }
    }
  } catch (...) {
    info = PhotoInfo{};
    info.File = File;
    info.Note = "not a photo exiv2 can read: " + CurrentErrorText();
  }
  return info;
}

PhotoInfo ReadPhotoInfo(const std::string& File) {
  try {
    const auto bytes = ReadWholeFile(File, kMaxPhotoBytes, {.RegularOnly = true, .NoFollow = true});
    if (!bytes) {
      throw FileError::Open(File, ENOENT);
    }
    return ReadPhotoInfoFromMemory(File, *bytes);
  } catch (...) {
    RethrowAsPhotoError(File, "read");
  }
}

std::string TagPhotoBytes(const std::string& File, std::string_view Bytes, const GpsFix& Fix) {
  CheckFix(File, Fix);
  if (Bytes.size() > kMaxPhotoBytes) {
    throw PhotoError(File,
                     "Cannot write GPS tags into photo " + Quoted(File) + ": larger than 512 MiB");
  }
  try {
    const OpenedPhoto old = OpenPhoto(Bytes);
    std::string note;
    const PhotoKind kind = KindOf(old, note);
    if (kind != PhotoKind::Jpeg && kind != PhotoKind::Tiff && kind != PhotoKind::OtherWritable) {
      throw PhotoError(File, "Cannot write GPS tags into " + Quoted(File) + ": " + note);
    }
    // A second image on a copy of the bytes: the first stays as it was read, for the
    // comparison, and the caller's bytes stay the original.
    const OpenedPhoto tagged = OpenPhoto(Bytes, true);
    const std::vector<Tag> tags = GpsTags(Fix);
    SetGpsTags(*tagged.Image, tags);
    tagged.Image->writeMetadata();
    Exiv2::BasicIo& io = tagged.Image->io();
    if (io.open() != 0) {
      throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "memory");
    }
    // The tags add a few hundred bytes; anything far larger is no result to trust.
    const size_t size = io.size();
    if (size == 0 || size > Bytes.size() + (size_t{16} << 20)) {
      throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    }
    std::string result(size, '\0');
    const auto wanted = static_cast<long>(size);
    if (io.read(reinterpret_cast<Exiv2::byte*>(result.data()), wanted) != wanted) {
      throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    }
    io.close();
    if (const std::string problem = CheckRewrite(old, Bytes, result, tags); !problem.empty()) {
      throw PhotoError(File, "Cannot write GPS tags into photo " + Quoted(File) +
                                 ": the check of the rewritten photo failed: " + problem);
    }
    return result;
  } catch (...) {
    RethrowAsPhotoError(File, "write GPS tags into");
  }
}

void WriteGpsTags(const std::string& File, const GpsFix& Fix, const WriteOptions& Options) {
  std::string backup;
  bool backupMade = false;
  try {
    ReplacingFile::CheckTarget(File);
    const auto before = StatusOf(File, false);
    const auto times = TimesOf(File);
    if (!before) {
      throw FileError::Open(File, before.Error);
    }
    if (!times) {
      throw FileError::Read(File, times.Error);
    }
    const auto bytes = ReadWholeFile(File, kMaxPhotoBytes, {.RegularOnly = true, .NoFollow = true});
    if (!bytes) {
      throw FileError::Open(File, ENOENT);
    }
    const std::string tagged = TagPhotoBytes(File, *bytes, Fix);
    if (Options.Backup) {
      backup = File + ".original";
      const auto existing = StatusOf(backup, false);
      if (existing || !IsNotFound(existing.Error)) {
        throw PhotoError(File, "Cannot keep the original of photo " + Quoted(File) + ": " +
                                   Quoted(backup) + " is already there");
      }
    }

    ReplacingFile out(File);
    out.Write(tagged.data(), tagged.size());
    out.Finish();
    if (Options.KeepModifiedTime) {
      if (const auto error = SetFileTimes(out.TempName(), times.Value)) {
        throw FileError::Write(File, error);
      }
    }
    // Another program may have changed the photo since it was read; its change must win.
    const auto now = StatusOf(File, false);
    const auto nowTimes = TimesOf(File);
    if (!now || !nowTimes || now.Value.Identity != before.Value.Identity ||
        now.Value.Size != before.Value.Size ||
        nowTimes.Value.ModifiedNs != times.Value.ModifiedNs) {
      throw PhotoError(File, "Cannot write GPS tags into photo " + Quoted(File) +
                                 ": it changed while it was being tagged");
    }
    if (Options.Backup) {
      if (const auto linked = MakeHardLink(File, backup)) {
        if (IsAlreadyExists(linked)) {
          throw FileError::Create(backup, linked);
        }
        // No hard links here (FAT): a copy of the bytes read, with the photo's access and times.
        auto copy = CreateNewFile(backup, 0600);
        if (!copy) {
          throw FileError::Create(backup, copy.Error);
        }
        backupMade = true;
        TakeAccessOf(copy.Value, before.Value);
        std::error_code error = WriteAll(copy.Value, *bytes);
        if (!error) {
          error = Flush(copy.Value);
        }
        if (const auto closed = copy.Value.Close(); !error) {
          error = closed;
        }
        if (!error) {
          error = SetFileTimes(backup, times.Value);
        }
        if (error) {
          throw FileError::Write(backup, error);
        }
      }
      backupMade = true;
    }
    out.Commit();
  } catch (...) {
    if (backupMade) {
      RemoveFile(backup);
    }
    RethrowAsPhotoError(File, "write GPS tags into");
  }
}

} // namespace tarnwick
