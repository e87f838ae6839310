#include "photos/photo_metadata.hpp"

#include "common/ci.hpp"
#include "common/files.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"
#include "photos/image_data_check.hpp"
#include "photos/photo_builder.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/os_files.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {

using test::MakeJpeg;
using test::PhotoFields;
using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;

const PhotoFields kTimed{"2026:07:14 18:05:09", "25", "+02:00", std::nullopt};
const PhotoFields kTagged{"2026:07:14 18:05:09", "", "", std::make_pair(-33.8568, 151.2153)};

// Berlin, Brandenburg Gate, in the evening of 14 July 2026 with milliseconds.
GpsFix BerlinFix() {
  return {52.5162746, 13.3777041, 34.567, int64_t{1'784'045'109'250}};
}

// Writes Bytes as Name in Dir; the path.
std::string Put(const test::TempDir& dir, const std::string& name, const std::string& bytes) {
  const std::string path = dir.File(name);
  WriteFile(path, bytes);
  return path;
}

std::set<std::string> Names(const test::TempDir& dir) {
  return test::FileNames(dir.Path());
}

void ExpectPosition(const PhotoInfo& info, double latitude, double longitude) {
  ASSERT_TRUE(info.Position) << info.File;
  EXPECT_NEAR(info.Position->first, latitude, 1e-9);
  EXPECT_NEAR(info.Position->second, longitude, 1e-9);
}

TEST(ReadPhotoInfo, KindsTimesAndPositions) {
  test::TempDir dir;
  const PhotoInfo jpeg = ReadPhotoInfo(Put(dir, "a.jpg", MakeJpeg(&kTimed)));
  EXPECT_EQ(jpeg.Kind, PhotoKind::Jpeg) << jpeg.Note;
  ASSERT_TRUE(jpeg.Captured);
  EXPECT_EQ(jpeg.Captured->Text, "2026-07-14 18:05:09.250 +02:00");
  EXPECT_FALSE(jpeg.Position);

  const PhotoInfo tagged = ReadPhotoInfo(Put(dir, "b.jpg", MakeJpeg(&kTagged)));
  ExpectPosition(tagged, -33.8568, 151.2153);
  EXPECT_FALSE(tagged.Captured->OffsetMinutes);

  const PhotoInfo untimed = ReadPhotoInfo(Put(dir, "c.jpg", MakeJpeg(nullptr)));
  EXPECT_EQ(untimed.Kind, PhotoKind::Jpeg);
  EXPECT_FALSE(untimed.Captured);

  const PhotoInfo tiff = ReadPhotoInfo(Put(dir, "d.tif", test::MakeTiff(kTimed)));
  EXPECT_EQ(tiff.Kind, PhotoKind::Tiff);
  ASSERT_TRUE(tiff.Captured);
  EXPECT_EQ(tiff.Captured->OffsetMinutes, 120);

  EXPECT_EQ(ReadPhotoInfo(Put(dir, "e.png", test::MakePng())).Kind, PhotoKind::OtherWritable);

  const PhotoInfo webp = ReadPhotoInfo(Put(dir, "f.webp", test::MakeWebp()));
  EXPECT_EQ(webp.Kind, PhotoKind::ReadOnly);
  EXPECT_NE(webp.Note.find("sidecar"), std::string::npos) << webp.Note;
}

TEST(ReadPhotoInfo, WhatIsNoPhotoIsSaidSoInPrintableText) {
  test::TempDir dir;
  const PhotoInfo text = ReadPhotoInfo(Put(dir, "notes.txt", "shopping list\n"));
  EXPECT_EQ(text.Kind, PhotoKind::NotAPhoto);
  EXPECT_FALSE(text.Note.empty());
  const PhotoInfo empty = ReadPhotoInfo(Put(dir, "empty.jpg", ""));
  EXPECT_EQ(empty.Kind, PhotoKind::NotAPhoto);
  const PhotoInfo sidecar = ReadPhotoInfo(
      Put(dir, "x.jpg.xmp", "<?xml version=\"1.0\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>"));
  EXPECT_EQ(sidecar.Kind, PhotoKind::NotAPhoto);

  // Every cut of a tagged JPEG: no crash, no control byte in a note.
  const std::string jpeg = MakeJpeg(&kTagged);
  for (size_t size = 0; size < jpeg.size(); size += 7) {
    const PhotoInfo cut =
        ReadPhotoInfoFromMemory("cut.jpg", std::string_view(jpeg).substr(0, size));
    for (const char c : cut.Note) {
      EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << size;
    }
  }
}

TEST(ReadPhotoInfo, ControlBytesFromTheFileAreEscapedInNotes) {
  // A DateTimeOriginal of control bytes: no time, and nothing raw in any text.
  const PhotoFields hostile{
      std::string("\x1b[2J\x07\x1b]0;x\x07:00:00 00:0", 19), "\x1b[1m", "", {}};
  const PhotoInfo info = ReadPhotoInfoFromMemory("h.jpg", MakeJpeg(&hostile));
  EXPECT_EQ(info.Kind, PhotoKind::Jpeg);
  EXPECT_FALSE(info.Captured);
}

TEST(ReadPhotoInfo, RefusesLinksFifosAndMissingFilesNamingThem) {
  test::TempDir dir;
  const std::string photo = Put(dir, "a.jpg", MakeJpeg(&kTimed));
  const std::string link = dir.File("link.jpg");
  fs::create_symlink(photo, link);
  const std::string fifo = dir.File("fifo.jpg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {link, fifo, dir.File("missing.jpg"), dir.Path().string()}) {
    try {
      ReadPhotoInfo(name);
      ADD_FAILURE() << name;
    } catch (const PhotoError& e) {
      EXPECT_EQ(e.FileName(), name);
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    // Writing is refused as well, and the link's target is left alone.
    EXPECT_THROW(WriteGpsTags(name, BerlinFix(), {}), PhotoError) << name;
  }
  EXPECT_EQ(ReadFile(photo), MakeJpeg(&kTimed));
  EXPECT_EQ(Names(dir), (std::set<std::string>{"a.jpg", "link.jpg", "fifo.jpg"}));
}

TEST(WriteGpsTags, JpegRoundTripKeepsImageDataAndOtherTags) {
  test::TempDir dir;
  const std::string original = MakeJpeg(&kTimed, 256, 128, "preview image after the end");
  const std::string photo = Put(dir, "a.jpg", original);
  WriteGpsTags(photo, BerlinFix(), {});

  const std::string written = ReadFile(photo);
  EXPECT_NE(written, original);
  // Everything from the first scan on, trailer included, and the tables before it.
  EXPECT_EQ(test::JpegScan(written), test::JpegScan(original));
  EXPECT_EQ(CompareJpegImageData(original, written), "");
  const PhotoInfo info = ReadPhotoInfo(photo);
  ExpectPosition(info, 52.5162746, 13.3777041);
  ASSERT_TRUE(info.Captured);
  EXPECT_EQ(info.Captured->Text, "2026-07-14 18:05:09.250 +02:00");
  EXPECT_EQ(Names(dir), std::set<std::string>{"a.jpg"});

  // South and west, without an elevation.
  WriteGpsTags(photo, {-22.9519, -43.2105, std::nan(""), 0}, {});
  ExpectPosition(ReadPhotoInfo(photo), -22.9519, -43.2105);
  EXPECT_EQ(test::JpegScan(ReadFile(photo)), test::JpegScan(original));
}

TEST(WriteGpsTags, TiffAndPngKeepTheirImageData) {
  test::TempDir dir;
  const std::string tiff = Put(dir, "a.tif", test::MakeTiff(kTimed));
  WriteGpsTags(tiff, BerlinFix(), {});
  const std::string written = ReadFile(tiff);
  for (const std::string& strip : test::TiffStrips()) {
    EXPECT_NE(written.find(strip), std::string::npos);
  }
  ExpectPosition(ReadPhotoInfo(tiff), 52.5162746, 13.3777041);
  EXPECT_EQ(ReadPhotoInfo(tiff).Kind, PhotoKind::Tiff);

  const std::string png = Put(dir, "a.png", test::MakePng());
  WriteGpsTags(png, BerlinFix(), {});
  EXPECT_EQ(ComparePngImageData(test::MakePng(), ReadFile(png)), "");
  ExpectPosition(ReadPhotoInfo(png), 52.5162746, 13.3777041);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"a.tif", "a.png"}));
}

TEST(TagPhotoBytes, LeavesTheCallersBytesAlone) {
  // exiv2 rewrites some TIFFs in place, in whatever memory it was given.
  for (const std::string& original :
       {test::MakeTiff(kTagged), test::MakeTiff(kTimed), MakeJpeg(&kTagged), test::MakePng()}) {
    const std::string bytes = original;
    const std::string once = TagPhotoBytes("a", bytes, BerlinFix());
    EXPECT_EQ(bytes, original);
    // Tagging the tagged bytes with the same fix gives the same bytes again.
    const std::string copy = once;
    EXPECT_EQ(TagPhotoBytes("a", copy, BerlinFix()), once);
    EXPECT_EQ(copy, once);
  }
}

TEST(WriteGpsTags, ReplacesAnOldPositionWhole) {
  test::TempDir dir;
  const std::string photo = Put(dir, "a.jpg", MakeJpeg(&kTagged));
  WriteGpsTags(photo, BerlinFix(), {});
  ExpectPosition(ReadPhotoInfo(photo), 52.5162746, 13.3777041);
  // The old fix's speed went with it (exiftool checks its absence below); the tags of the
  // camera stay.
  const std::string written = ReadFile(photo);
  EXPECT_NE(written.find("TestModel"), std::string::npos);
  const std::string speedEntry("\x0D\x00\x05\x00\x01\x00\x00\x00", 8);
  EXPECT_NE(MakeJpeg(&kTagged).find(speedEntry), std::string::npos);
  EXPECT_EQ(written.find(speedEntry), std::string::npos) << "a GPSSpeed entry is left";
}

TEST(WriteGpsTags, WhatCannotBeWrittenIsRefusedAndLeftAlone) {
  test::TempDir dir;
  const std::string webp = Put(dir, "a.webp", test::MakeWebp());
  const std::string text = Put(dir, "a.txt", "not a photo");
  for (const std::string& file : {webp, text}) {
    const std::string before = ReadFile(file);
    EXPECT_THROW(WriteGpsTags(file, BerlinFix(), {}), PhotoError);
    EXPECT_EQ(ReadFile(file), before);
  }
  const std::string jpeg = Put(dir, "a.jpg", MakeJpeg(&kTimed));
  for (const GpsFix& bad :
       {GpsFix{91, 0, 0, 0}, GpsFix{0, -180.5, 0, 0}, GpsFix{std::nan(""), 0, 0, 0},
        GpsFix{0, 0, INFINITY, 0}, GpsFix{0, 0, 0, -1}}) {
    EXPECT_THROW(WriteGpsTags(jpeg, bad, {}), PhotoError);
  }
  EXPECT_EQ(ReadFile(jpeg), MakeJpeg(&kTimed));
  EXPECT_EQ(Names(dir), (std::set<std::string>{"a.webp", "a.txt", "a.jpg"}));
}

TEST(WriteGpsTags, KeepsPermissionBitsAndTimesUnlessAsked) {
  test::TempDir dir;
  const std::string photo = Put(dir, "a.jpg", MakeJpeg(&kTimed));
  ASSERT_EQ(::chmod(photo.c_str(), 0640), 0);
  const FileTimes old{int64_t{1'000'000'000'123'456'789}, int64_t{999'999'999'987'654'321}};
  ASSERT_FALSE(SetFileTimes(photo, old));

  WriteGpsTags(photo, BerlinFix(), {});
  struct stat st {};
  ASSERT_EQ(::stat(photo.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640U);
  const auto kept = TimesOf(photo);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept.Value.ModifiedNs, old.ModifiedNs);
  EXPECT_EQ(kept.Value.AccessedNs, old.AccessedNs);

  WriteGpsTags(photo, {1, 2, 3, 4}, {.KeepModifiedTime = false});
  const auto now = TimesOf(photo);
  ASSERT_TRUE(now);
  EXPECT_GT(now.Value.ModifiedNs, int64_t{1'700'000'000} * 1'000'000'000);
  ASSERT_EQ(::stat(photo.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640U);
}

TEST(WriteGpsTags, BackupKeepsTheOriginalAndIsNeverReplaced) {
  test::TempDir dir;
  const std::string original = MakeJpeg(&kTimed);
  const std::string photo = Put(dir, "a.jpg", original);
  const FileTimes old{int64_t{1'100'000'000} * 1'000'000'000,
                      int64_t{1'100'000'000} * 1'000'000'000};
  ASSERT_FALSE(SetFileTimes(photo, old));
  WriteGpsTags(photo, BerlinFix(), {.Backup = true});
  EXPECT_EQ(ReadFile(photo + ".original"), original);
  EXPECT_EQ(TimesOf(photo + ".original").Value.ModifiedNs, old.ModifiedNs);
  const std::string tagged = ReadFile(photo);
  ExpectPosition(ReadPhotoInfo(photo), 52.5162746, 13.3777041);

  // A second backup would lose the first original: refused, both files as they were.
  try {
    WriteGpsTags(photo, {1, 2, 3, 4}, {.Backup = true});
    ADD_FAILURE();
  } catch (const PhotoError& e) {
    EXPECT_NE(std::string(e.what()).find("a.jpg.original"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadFile(photo), tagged);
  EXPECT_EQ(ReadFile(photo + ".original"), original);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"a.jpg", "a.jpg.original"}));
}

TEST(WriteGpsTags, AFailedRenameLeavesThePhotoAndNoBackup) {
  test::TempDir dir;
  const std::string original = MakeJpeg(&kTimed);
  const std::string photo = Put(dir, "a.jpg", original);
  ReplacingFile::SetCommitFaultForTests(
      [](const std::string&) { return std::make_error_code(std::errc::no_space_on_device); });
  EXPECT_THROW(WriteGpsTags(photo, BerlinFix(), {.Backup = true}), PhotoError);
  ReplacingFile::SetCommitFaultForTests({});
  EXPECT_EQ(ReadFile(photo), original);
  EXPECT_EQ(Names(dir), std::set<std::string>{"a.jpg"});
}

TEST(WriteGpsTags, AWriteCutShortByAFileSizeLimitLeavesThePhotoAlone) {
  // A file-size limit makes the write fail half-way as a full disk does.
  test::TempDir dir;
  const std::string original = MakeJpeg(&kTimed, 512, 512);
  const std::string photo = Put(dir, "a.jpg", original);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = original.size() / 2;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  std::string message;
  try {
    WriteGpsTags(photo, BerlinFix(), {.Backup = true});
  } catch (const PhotoError& e) {
    raised = true;
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_NE(message.find(photo), std::string::npos) << message;
  EXPECT_EQ(ReadFile(photo), original);
  EXPECT_EQ(Names(dir), std::set<std::string>{"a.jpg"});
}

TEST(WriteXmpSidecar, NewSidecarBesideTheUntouchedPhoto) {
  test::TempDir dir;
  const std::string photo = Put(dir, "IMG_1.JPG", MakeJpeg(&kTimed));
  EXPECT_EQ(XmpSidecarName(photo), photo + ".xmp");
  WriteXmpSidecar(photo, BerlinFix());
  EXPECT_EQ(ReadFile(photo), MakeJpeg(&kTimed));
  const std::string xmp = ReadFile(photo + ".xmp");
  EXPECT_NE(xmp.find("52,30.97647600N"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("13,22.66224600E"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("2026-07-14T16:05:09.250Z"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("34567/1000"), std::string::npos) << xmp;
  // A format exiv2 does not write gets one just the same.
  const std::string webp = Put(dir, "a.webp", test::MakeWebp());
  WriteXmpSidecar(webp, BerlinFix());
  EXPECT_EQ(Names(dir),
            (std::set<std::string>{"IMG_1.JPG", "IMG_1.JPG.xmp", "a.webp", "a.webp.xmp"}));
}

TEST(WriteXmpSidecar, MergesIntoAnExistingSidecar) {
  test::TempDir dir;
  const std::string photo = Put(dir, "a.jpg", MakeJpeg(&kTimed));
  Put(dir, "a.jpg.xmp", R"(<?xml version="1.0" encoding="UTF-8"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/"
    xmlns:exif="http://ns.adobe.com/exif/1.0/" xmlns:dc="http://purl.org/dc/elements/1.1/"
    xmp:Rating="4" exif:GPSLatitude="10,0.0N" exif:GPSLongitude="20,0.0E">
   <dc:subject><rdf:Bag><rdf:li>holiday</rdf:li></rdf:Bag></dc:subject>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>)");
  WriteXmpSidecar(photo, {-1.5, -2.25, std::nan(""), 0});
  const std::string xmp = ReadFile(photo + ".xmp");
  EXPECT_NE(xmp.find("holiday"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("Rating"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("1,30.00000000S"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("2,15.00000000W"), std::string::npos) << xmp;
  EXPECT_EQ(xmp.find("10,0.0N"), std::string::npos) << xmp;
  EXPECT_EQ(xmp.find("GPSAltitude"), std::string::npos) << xmp;

  // A sidecar that does not parse is nobody's to overwrite; nor is a link.
  const std::string broken = "<x:xmpmeta><unclosed";
  Put(dir, "b.jpg.xmp", broken);
  EXPECT_THROW(WriteXmpSidecar(dir.File("b.jpg"), BerlinFix()), PhotoError);
  EXPECT_EQ(ReadFile(dir.File("b.jpg.xmp")), broken);
  fs::create_symlink(photo + ".xmp", dir.File("c.jpg.xmp"));
  EXPECT_THROW(WriteXmpSidecar(dir.File("c.jpg"), BerlinFix()), PhotoError);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"a.jpg", "a.jpg.xmp", "b.jpg.xmp", "c.jpg.xmp"}));
}

TEST(PhotoMetadata, ReadsFromManyThreadsAtOnce) {
  // The XMP toolkit is set up once whichever thread comes first.
  const std::string jpeg = MakeJpeg(&kTagged);
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        const PhotoInfo info = ReadPhotoInfoFromMemory("t.jpg", jpeg);
        good += info.Position ? 1 : 0;
        good += TagPhotoBytes("t.jpg", jpeg, BerlinFix()).empty() ? 0 : 1;
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(good, 160);
}

// ---- read back by exiftool -------------------------------------------------------------

// Tab-separated values of Tags (exiftool -T, numbers as numbers; "-" when missing).
std::vector<std::string> Exiftool(const std::string& file, const std::string& tags) {
  const auto r = test::RunShell("exiftool -n -T " + tags + " " + test::Quote(file));
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  std::vector<std::string> values;
  std::istringstream line(r.Out.substr(0, r.Out.find('\n')));
  for (std::string value; std::getline(line, value, '\t');) {
    values.push_back(value);
  }
  return values;
}

TEST(Exiftool, ReadsOurTagsBackToAMillionthOfADegree) {
  if (!test::HasTool("exiftool")) {
    TARNWICK_SKIP_OR_FAIL_UNDER_CI("exiftool is missing");
  }
  test::TempDir dir;
  const std::string jpeg = Put(dir, "a.jpg", MakeJpeg(&kTagged));
  const std::string tiff = Put(dir, "a.tif", test::MakeTiff(kTimed));
  const GpsFix fix{-33.85678912, -151.21534567, -12.345, int64_t{1'784'045'109'250}};
  WriteGpsTags(jpeg, fix, {});
  WriteGpsTags(tiff, fix, {});
  const std::string tags =
      "-GPS:GPSVersionID -Composite:GPSLatitude -Composite:GPSLongitude -GPS:GPSAltitude "
      "-GPS:GPSAltitudeRef -GPS:GPSDateStamp -GPS:GPSTimeStamp -GPS:GPSMapDatum -GPS:GPSSpeed";
  for (const std::string& file : {jpeg, tiff}) {
    const auto v = Exiftool(file, tags);
    ASSERT_EQ(v.size(), 9U) << file;
    EXPECT_EQ(v[0], "2 3 0 0");
    EXPECT_NEAR(std::stod(v[1]), fix.Latitude, 1e-6);
    EXPECT_NEAR(std::stod(v[2]), fix.Longitude, 1e-6);
    EXPECT_NEAR(std::stod(v[3]), 12.345, 1e-9);
    EXPECT_EQ(v[4], "1"); // below sea level
    EXPECT_EQ(v[5], "2026:07:14");
    EXPECT_EQ(v[6], "16:05:09.25");
    EXPECT_EQ(v[7], "WGS-84");
    EXPECT_EQ(v[8], "-") << "the old fix's speed is gone";
  }

  // Without an elevation, no altitude at all; the sidecar reads the same.
  WriteGpsTags(jpeg, {fix.Latitude, fix.Longitude, std::nan(""), fix.UtcMs}, {});
  EXPECT_EQ(Exiftool(jpeg, "-GPS:GPSAltitude -GPS:GPSAltitudeRef"),
            (std::vector<std::string>{"-", "-"}));
  WriteXmpSidecar(jpeg, fix);
  const auto x = Exiftool(jpeg + ".xmp", "-XMP:GPSLatitude -XMP:GPSLongitude -XMP:GPSAltitude "
                                         "-XMP:GPSAltitudeRef -XMP:GPSDateTime");
  ASSERT_EQ(x.size(), 5U);
  EXPECT_NEAR(std::stod(x[0]), fix.Latitude, 1e-6);
  EXPECT_NEAR(std::stod(x[1]), fix.Longitude, 1e-6);
  EXPECT_NEAR(std::stod(x[2]), 12.345, 1e-9);
  EXPECT_EQ(x[3], "1");
  EXPECT_EQ(x[4], "2026:07:14 16:05:09.250Z");
}

} // namespace
} // namespace tarnwick
