#include "logger/whole_data.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"

#include "common/files.hpp"
#include "common/memory_image.hpp"
#include "common/temp_dir.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// A GT-100, serial 12345, firmware 1.5, model number 100, USB library 258, 300 points.
RIGotUStatusData ExampleStatus() {
  RIGotUStatusData s;
  s.FModel.Data = {0x00, 0x00, 0x13};
  s.FIdent.Data = {0x39, 0x30, 0x00, 0x00, 0x01, 0x05, 0x00, 0x64, 0x01, 0x02};
  s.FCount.Data = {0x00, 0x01, 0x2C};
  return s;
}

TEST(StatusData, Accessors) {
  const auto s = ExampleStatus();
  EXPECT_EQ(s.FModel.ModelName(), "GT-100");
  EXPECT_EQ(s.FIdent.SerialNumber(), 12345U);
  EXPECT_EQ(s.FIdent.MajorVersion(), 1);
  EXPECT_EQ(s.FIdent.MinorVersion(), 5);
  EXPECT_EQ(s.FIdent.ModelNumber(), 100);
  EXPECT_EQ(s.FIdent.USBLibVersion(), 258);
  EXPECT_EQ(s.NumberOfPoints(), 300);
  for (auto [code, name] : {std::pair<uint8_t, const char*>{0x14, "GT-200"},
                            {0x15, "GT-120"},
                            {0x17, "GT-800 or GT-900"},
                            {0x16, ""},
                            {0x00, ""}}) {
    EXPECT_EQ((RModelResult{{0, 0, code}}.ModelName()), name);
  }
}

TEST(SlotBlocks, Sizes) {
  EXPECT_EQ(TIGotUSlotBlocks(0, 32).NumberOfBlocks(), 0);
  EXPECT_EQ(TIGotUSlotBlocks(0, 32).BufferSize(), 0U);
  EXPECT_EQ(TIGotUSlotBlocks(128, 32).NumberOfBlocks(), 1);
  const TIGotUSlotBlocks b129(129, 32);
  EXPECT_EQ(b129.NumberOfBlocks(), 2);
  EXPECT_EQ(b129.BufferSize(), 8192U);
  EXPECT_EQ(b129.NumberOfBytes(), 4128U);
  const TIGotUSlotBlocks full(65535, 32);
  EXPECT_EQ(full.NumberOfBytes(), 2'097'120U);
  EXPECT_EQ(full.NumberOfBlocks(), 512);
  EXPECT_EQ(full.GetBlockPtr(511) - full.DataBuffer(), 511 * 4096);
}

TEST(WholeData, FileNamesOfThePair) {
  EXPECT_EQ(TIGotUWholeData::StatusFileName("trip"), "trip.dat");
  EXPECT_EQ(TIGotUWholeData::StatusFileName("trip.bin"), "trip.dat");
  EXPECT_EQ(TIGotUWholeData::BlockFileName("dir.v2/trip"), "dir.v2/trip.bin");
  EXPECT_EQ(TIGotUWholeData::BlockFileName("a/trip.x.dat"), "a/trip.x.bin");
  EXPECT_EQ(TIGotUWholeData::BlockFileName("trip."), "trip.bin");
}

TEST(WholeData, StatusFileHasTheDocumentedLinesInOrder) {
  test::TempDir dir;
  TIGotUWholeData image;
  image.Status = ExampleStatus();
  image.SaveToFile(dir.File("trip"));
  std::string text = ReadFile(dir.File("trip.dat"));
  // Every line ends with CR LF; blank lines may separate sections.
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "line without CR LF at " << pos;
    if (end > pos) {
      lines.push_back(text.substr(pos, end - pos));
    }
    pos = end + 2;
  }
  EXPECT_EQ(text.find('\n', 0) - 1, text.find("\r\n"));
  const std::vector<std::string> expected = {
      "[Model]", "DumpStr=000013", "ModelType=19", "[Ident]", "DumpStr=39300000010500640102",
      "SerialNumber=12345", "MajorVersion=1", "MinorVersion=5", "ModelNumber=100",
      "USBLibVersion=258", "[Count]", "DumpStr=00012C", "Count=300", "[BlockFile]", "Length=4096",
      // CRC-32 of 4096 zero bytes
      "CRC32=C71C0011"};
  EXPECT_EQ(lines, expected);
}

TEST(WholeData, RoundTripKeepsEveryByte) {
  test::TempDir dir;
  // Odd values in every status field: the high count byte is not the logger's to set.
  TIGotUWholeData image = test::PatternImage(129);
  image.Status.FModel.Data = {0xAB, 0xCD, 0x17};
  image.Status.FIdent.Data = {0x00, 0x00, 0x00, 0x80, 9, 8, 7, 6, 5, 4};
  image.Status.FCount.Data = {0xEE, 0x00, 0x81};
  image.SaveToFile(dir.File("trip.dat"));

  EXPECT_EQ(fs::file_size(dir.File("trip.bin")), 4096U + 4128U);
  EXPECT_NE(ReadFile(dir.File("trip.dat")).find("SerialNumber=2147483648\r\n"), std::string::npos);

  TIGotUWholeData loaded;
  loaded.LoadFromFile(dir.File("trip.bin"));
  EXPECT_EQ(loaded.Status.FModel.Data, image.Status.FModel.Data);
  EXPECT_EQ(loaded.Status.FIdent.Data, image.Status.FIdent.Data);
  EXPECT_EQ(loaded.Status.FCount.Data, image.Status.FCount.Data);
  EXPECT_EQ(loaded.ConfigBlock(), image.ConfigBlock());
  ASSERT_NE(loaded.Blocks(), nullptr);
  EXPECT_EQ(loaded.Blocks()->NumberOfSlots(), 129);
  EXPECT_TRUE(std::equal(image.Blocks()->DataBuffer(), image.Blocks()->DataBuffer() + 4128,
                         loaded.Blocks()->DataBuffer()));
  // The tail of the last block belongs to no slot and stays zero.
  EXPECT_TRUE(std::all_of(loaded.Blocks()->DataBuffer() + 4128,
                          loaded.Blocks()->DataBuffer() + 8192, [](uint8_t b) { return b == 0; }));
}

TEST(WholeData, EmptyImagesStillHaveAConfigurationBlockOnDisk) {
  test::TempDir dir;
  TIGotUWholeData image; // never read: no configuration block, no blocks
  image.Status.FCount.Data = {0, 0, 0};
  image.SaveToFile(dir.File("empty"));
  EXPECT_EQ(fs::file_size(dir.File("empty.bin")), 4096U);
  TIGotUWholeData loaded;
  loaded.LoadFromFile(dir.File("empty"));
  EXPECT_EQ(loaded.ConfigLength(), 4096);
  ASSERT_NE(loaded.Blocks(), nullptr);
  EXPECT_EQ(loaded.Blocks()->NumberOfBlocks(), 0);
  EXPECT_EQ(loaded.Blocks()->BufferSize(), 0U);
}

TEST(WholeData, DumpStrReadingRules) {
  test::TempDir dir;
  const std::string base = dir.File("t");
  WriteFile(base + ".bin", "");
  auto load = [&](const std::string& dat, TIGotUWholeData& image) {
    WriteFile(base + ".dat", dat);
    image.LoadFromFile(base);
  };
  {
    TIGotUWholeData image;
    image.Status.FCount.Data = {0x11, 0x22, 0x33};
    // Four characters set two bytes; the third keeps its value.
    load("[Count]\nDumpStr=0001\n", image);
    EXPECT_EQ(image.Status.FCount.Data, (std::array<uint8_t, 3>{0x00, 0x01, 0x33}));
  }
  {
    TIGotUWholeData image;
    load("[Model]\nDumpStr=ab\n[Count]\nDumpStr=0000010\n", image);
    EXPECT_EQ(image.Status.FModel.Data[0], 0xAB);
    EXPECT_EQ(image.Status.FCount.Data, (std::array<uint8_t, 3>{0x00, 0x00, 0x01}))
        << "odd character ignored";
  }
  {
    // Pairs beyond the sub-record are ignored: nothing lands outside it.
    TIGotUWholeData image;
    load("[Model]\nDumpStr=0102030405060708\n[Ident]\nDumpStr=" + std::string(400, 'F') + "\n",
         image);
    EXPECT_EQ(image.Status.FModel.Data, (std::array<uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(image.Status.FIdent.Data[9], 0xFF);
    EXPECT_EQ(image.Status.FCount.Data, (std::array<uint8_t, 3>{0, 0, 0}));
  }
  {
    // A bad pair stops the load, names the text, and keeps the bytes decoded before it.
    TIGotUWholeData image;
    WriteFile(base + ".dat", "[Model]\nDumpStr=0102ZZ\n[Count]\nDumpStr=000005\n");
    try {
      image.LoadFromFile(base);
      FAIL();
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("'$ZZ' is not a valid integer value", 0), 0U)
          << e.what();
      EXPECT_NE(std::string(e.what()).find("t.dat"), std::string::npos);
    }
    EXPECT_EQ(image.Status.FModel.Data, (std::array<uint8_t, 3>{1, 2, 0}));
    EXPECT_EQ(image.Status.NumberOfPoints(), 0);
    EXPECT_EQ(image.Blocks(), nullptr) << "blocks untouched";
  }
}

TEST(WholeData, MissingAndShortFiles) {
  test::TempDir dir;
  const std::string base = dir.File("t");
  {
    // No status file: zero points; the block file is still needed.
    TIGotUWholeData image;
    EXPECT_THROW(image.LoadFromFile(base), FileError);
    ASSERT_NE(image.Blocks(), nullptr) << "blocks already replaced by zero-filled ones";
    EXPECT_EQ(image.ConfigLength(), 4096);
  }
  {
    // A short block file: what it lacks stays zero.
    WriteFile(base + ".dat", "[Count]\nDumpStr=000003\n");
    WriteFile(base + ".bin", std::string(4096, '\x01') + std::string(40, '\x02'));
    TIGotUWholeData image;
    image.LoadFromFile(base);
    EXPECT_EQ(image.Blocks()->NumberOfSlots(), 3);
    EXPECT_EQ(image.Blocks()->DataBuffer()[39], 2);
    EXPECT_EQ(image.Blocks()->DataBuffer()[40], 0);
    EXPECT_EQ(image.ConfigBlock()[4095], 1);
  }
  {
    // A folder where the block file should be is reported, naming it.
    fs::create_directory(dir.File("d.bin"));
    WriteFile(dir.File("d.dat"), "");
    TIGotUWholeData image;
    try {
      image.LoadFromFile(dir.File("d"));
      FAIL();
    } catch (const FileError& e) {
      EXPECT_EQ(e.FileName(), dir.File("d.bin"));
    }
  }
}

TEST(WholeData, SavingKeepsForeignKeysAndFailedSavesKeepTheOldPair) {
  test::TempDir dir;
  const std::string base = dir.File("t");
  // Spacing, repeated keys and lines without "=" are the user's too; the old key goes.
  WriteFile(base + ".dat", "[Notes]\r\nWhere = Kyoto \r\nWhere=Nara\nno equals\r\n[Model]\r\n"
                           "DumpStr = 000000\r\nMine=1\r\nDumpStr=FFFFFF\r\n");
#ifndef _WIN32
  ::chmod((base + ".dat").c_str(), 0600);
#endif
  TIGotUWholeData image;
  image.Status = ExampleStatus();
  image.SaveToFile(base);
  const std::string dat = ReadFile(base + ".dat");
  EXPECT_EQ(dat.rfind("[Notes]\r\nWhere = Kyoto \r\nWhere=Nara\nno equals\r\n[Model]\r\n"
                      "DumpStr=000013\r\nMine=1\r\nModelType=19\r\n",
                      0),
            0U)
      << dat;
#ifndef _WIN32
  EXPECT_EQ(fs::status(base + ".dat").permissions(), fs::perms(0600));
#endif

  // Saving into a folder that does not exist fails, names the file, and leaves nothing behind.
  try {
    image.SaveToFile(dir.File("missing/t"));
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.FileName(), dir.File("missing/t.dat"));
  }

  // A block file that cannot be replaced (its name is taken by a folder) leaves the old pair.
  const std::string before = ReadFile(base + ".dat");
  fs::remove(base + ".bin");
  fs::create_directory(base + ".bin");
  fs::create_directory(base + ".bin/inside");
  image.Status.FCount.Data = {0, 0, 9};
  EXPECT_THROW(image.SaveToFile(base), FileError);
  EXPECT_EQ(ReadFile(base + ".dat"), before)
      << "status file not replaced when the pair is not complete";
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    names.insert(e.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"t.dat", "t.bin"})) << "no temporary left behind";
}

#ifndef _WIN32
// Saves into a folder, makes it read-only, saves again; whether the second save failed and
// left the first pair byte for byte.
bool ReadOnlyFolderKeepsThePair(const std::string& folder) {
  const std::string base = folder + "/t";
  TIGotUWholeData image;
  image.Status = ExampleStatus();
  image.SaveToFile(base);
  const std::string dat = ReadFile(base + ".dat");
  const std::string bin = ReadFile(base + ".bin");
  ::chmod(folder.c_str(), 0555);
  image.Status.FCount.Data = {0, 0, 9};
  bool failed = false;
  try {
    image.SaveToFile(base);
  } catch (const FileError&) {
    failed = true;
  }
  ::chmod(folder.c_str(), 0755);
  return failed && ReadFile(base + ".dat") == dat && ReadFile(base + ".bin") == bin &&
         test::FileNames(folder) == std::set<std::string>{"t.dat", "t.bin"};
}

TEST(WholeData, ASaveIntoAFolderMadeReadOnlyKeepsTheOldPairByteForByte) {
  test::TempDir dir;
  const std::string folder = dir.File("ro");
  fs::create_directory(folder);
  if (::geteuid() != 0) {
    EXPECT_TRUE(ReadOnlyFolderKeepsThePair(folder));
    return;
  }
  // Root writes anywhere; the saves run as an ordinary user in a child.
  ::chmod(dir.Path().c_str(), 0755);
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && ReadOnlyFolderKeepsThePair(folder) ? 0
                                                                                               : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

// The block file is renamed into place first; when the status file then cannot be, the save
// puts the old block file back, so that the pair on disk stays the old one, or none.
TEST(WholeData, AStatusFileThatCannotBeCommittedLeavesTheOldPairByteForByte) {
  test::TempDir dir;
  const std::string base = dir.File("t");
  test::PatternImage(40).SaveToFile(base);
  const std::string dat = ReadFile(base + ".dat");
  const std::string bin = ReadFile(base + ".bin");
  const std::string fresh = dir.File("fresh");
  std::vector<std::string> commits;
  ReplacingFile::SetCommitFaultForTests([&](const std::string& target) {
    commits.push_back(target);
    return target.ends_with(".dat") ? std::make_error_code(std::errc::io_error) : std::error_code();
  });
  const TIGotUWholeData other = test::PatternImage(90, 0x13);
  EXPECT_THROW(other.SaveToFile(base), FileError);
  EXPECT_THROW(other.SaveToFile(fresh), FileError);
  ReplacingFile::SetCommitFaultForTests({});
  EXPECT_EQ(commits, (std::vector<std::string>{base + ".bin", base + ".dat", fresh + ".bin",
                                               fresh + ".dat"}))
      << "the block file goes first";
  EXPECT_EQ(ReadFile(base + ".dat"), dat);
  EXPECT_EQ(ReadFile(base + ".bin"), bin);
  EXPECT_EQ(test::FileNames(dir.Path()), (std::set<std::string>{"t.dat", "t.bin"}))
      << "no new pair is left where there was none, and no temporary anywhere";
}

// How the pair on disk was put together, and whether the load should warn about it.
struct PairCase {
  const char* Name;
  std::function<void(const std::string& base, const std::string& oldBin)> Arrange;
  const char* Warning; // nullptr: no warning
};

TEST(WholeData, ABlockFileFromAnotherSaveLoadsWithAWarning) {
  const std::vector<PairCase> cases = {
      {"pair as saved", [](const std::string&, const std::string&) {}, nullptr},
      // What a kill between the two renames of a save leaves behind: the new block file and
      // the status file of the save before it.
      {"status file of the save before",
       [](const std::string& base, const std::string&) {
         WriteFile(base + ".dat", ReadFile(base + ".dat.before"));
       },
       "the status file was saved with a block file of 4160 bytes, this one has 4192"},
      {"old block file put back",
       [](const std::string& base, const std::string& oldBin) { WriteFile(base + ".bin", oldBin); },
       "the status file was saved with a block file of 4192 bytes, this one has 4160"},
      {"same length, other bytes",
       [](const std::string& base, const std::string&) {
         std::string bin = ReadFile(base + ".bin");
         bin[4100] ^= 1;
         WriteFile(base + ".bin", bin);
       },
       "its CRC-32 is"},
      {"saved before the record existed",
       [](const std::string& base, const std::string& oldBin) {
         std::string dat = ReadFile(base + ".dat");
         WriteFile(base + ".dat", dat.substr(0, dat.find("[BlockFile]")));
         WriteFile(base + ".bin", oldBin);
       },
       nullptr},
      {"record that does not convert",
       [](const std::string& base, const std::string&) {
         std::string dat = ReadFile(base + ".dat");
         WriteFile(base + ".dat", dat.substr(0, dat.find("CRC32=")) + "CRC32=12345\r\n");
       },
       "has a [BlockFile] section that cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    const std::string base = dir.File("t");
    TIGotUWholeData image;
    image.Status = ExampleStatus();
    image.Status.FCount.Data = {0, 0, 2};
    image.SetBlocks(std::make_unique<TIGotUSlotBlocks>(2, 32));
    image.SaveToFile(base);
    const std::string oldBin = ReadFile(base + ".bin");
    fs::copy_file(base + ".dat", base + ".dat.before");
    image.Status.FCount.Data = {0, 0, 3};
    auto blocks = std::make_unique<TIGotUSlotBlocks>(3, 32);
    blocks->DataBuffer()[70] = 0x77;
    image.SetBlocks(std::move(blocks));
    image.SaveToFile(base);
    c.Arrange(base, oldBin);

    TIGotUWholeData loaded;
    loaded.LoadFromFile(base);
    ASSERT_NE(loaded.Blocks(), nullptr) << "the image loads all the same";
    if (c.Warning == nullptr) {
      EXPECT_TRUE(loaded.Warnings().empty()) << loaded.Warnings().front();
    } else {
      ASSERT_EQ(loaded.Warnings().size(), 1U);
      const std::string& w = loaded.Warnings().front();
      EXPECT_NE(w.find(c.Warning), std::string::npos) << w;
      EXPECT_NE(w.find(base + ".bin"), std::string::npos) << w;
      EXPECT_NE(w.find(base + ".dat"), std::string::npos) << w;
    }
    const std::string bin = ReadFile(base + ".bin");
    TIGotUWholeData fromMemory;
    fromMemory.LoadFromMemory(ReadFile(base + ".dat"),
                              std::span(reinterpret_cast<const uint8_t*>(bin.data()), bin.size()),
                              base);
    EXPECT_EQ(fromMemory.Warnings().size(), loaded.Warnings().size()) << "same verdict";
  }
}

// The download moment travels with the pair: written, read back, dropped when an image without
// one is saved over the pair, and a value that does not read is a warning, not an error.
TEST(WholeData, TheDownloadMomentIsKeptInASectionOfItsOwn) {
  test::TempDir dir;
  const std::string base = dir.File("d");
  TIGotUWholeData image;
  image.Status = ExampleStatus();
  image.SetBlocks(std::make_unique<TIGotUSlotBlocks>(0, 32));
  image.SetDownloadTime(EncodeDate(2026, 12, 10) + EncodeTime(5, 27, 8, 400));
  image.SaveToFile(base);
  const std::string dat = ReadFile(base + ".dat");
  EXPECT_NE(dat.find("\r\n[Download]\r\nTimeUTC=2026-12-10T05:27:08Z\r\n"), std::string::npos);

  TIGotUWholeData loaded;
  loaded.LoadFromFile(base);
  ASSERT_TRUE(loaded.DownloadTime().has_value());
  EXPECT_EQ(FormatIsoUtc(*loaded.DownloadTime()), "2026-12-10T05:27:08Z");
  EXPECT_EQ(loaded.StatusSectionsLoaded(), 3);
  EXPECT_TRUE(loaded.Warnings().empty());

  // Saved again without the moment (another image over this pair): no stale moment stays.
  image.SetDownloadTime(std::nullopt);
  image.SaveToFile(base);
  TIGotUWholeData resaved;
  resaved.LoadFromFile(base);
  EXPECT_FALSE(resaved.DownloadTime().has_value());
  EXPECT_EQ(ReadFile(base + ".dat").find("TimeUTC"), std::string::npos);

  for (const char* bad : {"2026-12-10 05:27:08", "2026-02-30T00:00:00Z", "\x1b[31mred"}) {
    WriteFile(base + ".dat",
              "[Count]\r\nDumpStr=000000\r\n[Download]\r\nTimeUTC=" + std::string(bad) + "\r\n");
    TIGotUWholeData odd;
    odd.LoadFromFile(base);
    EXPECT_FALSE(odd.DownloadTime().has_value()) << bad;
    EXPECT_EQ(odd.StatusSectionsLoaded(), 1);
    ASSERT_EQ(odd.Warnings().size(), 1U) << bad;
    EXPECT_NE(odd.Warnings()[0].find("download time that cannot be read"), std::string::npos);
    EXPECT_EQ(odd.Warnings()[0].find('\x1b'), std::string::npos) << "no raw control bytes";
  }
  WriteFile(base + ".dat", "not an ini file at all\r\n[Other]\r\nx=1\r\n");
  TIGotUWholeData garbage;
  garbage.LoadFromFile(base);
  EXPECT_EQ(garbage.StatusSectionsLoaded(), 0);
}

} // namespace
} // namespace tarnwick
