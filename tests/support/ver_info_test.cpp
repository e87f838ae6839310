#include "support/ver_info.hpp"

#include "common/ci.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"
#include "support/errors.hpp"
#include "support/own_version_info.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tarnwick {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;
const std::string kNoVersionInfo = "バージョン情報が取得できません.";
const std::string kNoRootBlock = "ルートブロックが取得できません.";

void Set16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}
void Add16(Bytes& b, uint32_t v) {
  b.resize(b.size() + 2);
  Set16(b, b.size() - 2, v);
}
void Add32(Bytes& b, uint32_t v) {
  b.resize(b.size() + 4);
  Set32(b, b.size() - 4, v);
}
void Align(Bytes& b, size_t n) {
  b.resize((b.size() + n - 1) / n * n);
}

// One node of a version block, written after the published layout: wLength, wValueLength,
// wType, the UTF-16 key with its NUL, padding, the value, padding before each child.
struct Node {
  std::u16string Key;
  Bytes Value;
  uint16_t ValueLength = 0;
  uint16_t Type = 1;
  std::vector<Node> Children;

  Bytes Write() const {
    Bytes b(6);
    for (const char16_t c : Key + u'\0') {
      Add16(b, c);
    }
    Align(b, 4);
    b.insert(b.end(), Value.begin(), Value.end());
    for (const Node& child : Children) {
      Align(b, 4);
      const Bytes c = child.Write();
      b.insert(b.end(), c.begin(), c.end());
    }
    Set16(b, 0, static_cast<uint32_t>(b.size()));
    Set16(b, 2, ValueLength);
    Set16(b, 4, Type);
    return b;
  }
};

// A String node; Length -1 stores the characters and a NUL, as resource compilers do, and any
// other Length stores the characters alone.
Node Str(std::u16string key, std::u16string value, int length = -1) {
  Node n{std::move(key), {}, 0, 1, {}};
  for (const char16_t c : length < 0 ? value + u'\0' : value) {
    Add16(n.Value, c);
  }
  n.ValueLength = static_cast<uint16_t>(length < 0 ? value.size() + 1 : length);
  return n;
}

struct Version {
  std::vector<Node> Strings = {Str(u"FileVersion", u"1.2.3.4")};
  std::u16string Table = u"040904B0";
  std::vector<uint32_t> Translations = {0x04B00409}; // code page << 16 | language
  uint32_t Flags = 0;
  uint32_t Mask = 0x3F;
  uint32_t FileType = 1;
  size_t FixedBytes = 52;

  Bytes Block() const {
    Node root{u"VS_VERSION_INFO", {}, static_cast<uint16_t>(FixedBytes), 0, {}};
    for (const uint32_t v : {0xFEEF04BDu, 0x10000u, 0x10002u, 0x30004u, 0x10002u, 0x30004u, Mask,
                             Flags, 0x40004u, FileType, 0u, 0u, 0u}) {
      Add32(root.Value, v);
    }
    root.Value.resize(FixedBytes);
    root.Children.push_back({u"StringFileInfo", {}, 0, 1, {{Table, {}, 0, 1, Strings}}});
    Node var{u"Translation", {}, static_cast<uint16_t>(4 * Translations.size()), 0, {}};
    for (const uint32_t t : Translations) {
      Add32(var.Value, t);
    }
    root.Children.push_back({u"VarFileInfo", {}, 0, 1, {var}});
    return root.Write();
  }
};

// A program file with one section of code and a resource section whose root lists Types in
// order, each with name 1 and one language per block, as a linker lays it out.
struct Pe {
  static constexpr size_t kOptionalAt = 0x98;
  static constexpr size_t kRsrcAt = 0x400;
  static constexpr uint32_t kRsrcRva = 0x2000;

  Bytes Data;
  size_t SectionsAt = 0;
  size_t DataEntryAt = 0; // the last resource's first language

  Pe(bool plus, const std::vector<std::pair<uint32_t, std::vector<Bytes>>>& types) {
    Bytes r(16);
    Set16(r, 14, static_cast<uint32_t>(types.size()));
    r.resize(16 + 8 * types.size());
    std::vector<Bytes> blobs;
    std::vector<size_t> entries;
    for (size_t i = 0; i < types.size(); ++i) {
      Set32(r, 16 + 8 * i, types[i].first);
      Set32(r, 20 + 8 * i, 0x80000000u | static_cast<uint32_t>(r.size()));
      const size_t names = r.size();
      r.resize(names + 24);
      Set16(r, names + 14, 1);
      Set32(r, names + 16, 1);
      Set32(r, names + 20, 0x80000000u | static_cast<uint32_t>(r.size()));
      const auto& languages = types[i].second;
      const size_t langs = r.size();
      r.resize(langs + 16 + 8 * languages.size());
      Set16(r, langs + 14, static_cast<uint32_t>(languages.size()));
      for (size_t l = 0; l < languages.size(); ++l) {
        Set32(r, langs + 16 + 8 * l, 0x0409 + static_cast<uint32_t>(l));
        Set32(r, langs + 20 + 8 * l, static_cast<uint32_t>(r.size()));
        entries.push_back(r.size());
        blobs.push_back(languages[l]);
        r.resize(r.size() + 16);
      }
    }
    for (size_t i = 0; i < blobs.size(); ++i) {
      Align(r, 4);
      Set32(r, entries[i], kRsrcRva + static_cast<uint32_t>(r.size()));
      Set32(r, entries[i] + 4, static_cast<uint32_t>(blobs[i].size()));
      r.insert(r.end(), blobs[i].begin(), blobs[i].end());
    }
    DataEntryAt = kRsrcAt + entries.back();
    const uint32_t rsrcSize = static_cast<uint32_t>(r.size());
    Align(r, 0x200);

    const size_t optionalSize = plus ? 240 : 224;
    Data.assign(kRsrcAt, 0);
    Data[0] = 'M';
    Data[1] = 'Z';
    Set32(Data, 0x3C, 0x80);
    Data[0x80] = 'P';
    Data[0x81] = 'E';
    Set16(Data, 0x84, plus ? 0x8664 : 0x14C);
    Set16(Data, 0x86, 2);
    Set16(Data, 0x94, static_cast<uint32_t>(optionalSize));
    Set16(Data, kOptionalAt, plus ? 0x20B : 0x10B);
    const size_t dirs = kOptionalAt + (plus ? 112 : 96);
    Set32(Data, dirs - 4, 16);
    Set32(Data, dirs + 16, kRsrcRva);
    Set32(Data, dirs + 20, rsrcSize);
    SectionsAt = kOptionalAt + optionalSize;
    // .text (no bytes in the file), then .rsrc.
    Set32(Data, SectionsAt + 8, 0x100);
    Set32(Data, SectionsAt + 12, 0x1000);
    Set32(Data, SectionsAt + 40 + 8, rsrcSize);
    Set32(Data, SectionsAt + 40 + 12, kRsrcRva);
    Set32(Data, SectionsAt + 40 + 16, static_cast<uint32_t>(r.size()));
    Set32(Data, SectionsAt + 40 + 20, kRsrcAt);
    Data.insert(Data.end(), r.begin(), r.end());
  }
};

Bytes VersionPe(const Version& v, bool plus = false) {
  return Pe(plus, {{16, {v.Block()}}}).Data;
}

// Runs F and returns the message of the EVerInfo it raises; fails on any other outcome.
std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EVerInfo& e) {
    return e.what();
  }
  ADD_FAILURE() << "no EVerInfo";
  return {};
}

class VerInfoPeTest : public testing::TestWithParam<bool> {};

TEST_P(VerInfoPeTest, EveryPropertyReadsItsOwnValueAndTheFirstTranslation) {
  using Getter = std::string (TVerInfo::*)() const;
  const std::vector<std::pair<Getter, std::u16string>> properties = {
      {&TVerInfo::CompanyName, u"CompanyName"},
      {&TVerInfo::FileDescription, u"FileDescription"},
      {&TVerInfo::FileVersion, u"FileVersion"},
      {&TVerInfo::InternalName, u"InternalName"},
      {&TVerInfo::LegalCopyright, u"LegalCopyright"},
      {&TVerInfo::LegalTrademarks, u"LegalTrademarks"},
      {&TVerInfo::OriginalFilename, u"OriginalFilename"},
      {&TVerInfo::ProductName, u"ProductName"},
      {&TVerInfo::ProductVersion, u"ProductVersion"},
      {&TVerInfo::Comments, u"Comments"},
      {&TVerInfo::PrivateBuildComments, u"PrivateBuild"},
      {&TVerInfo::SpecialBuildComments, u"SpecialBuild"}};
  Version v;
  v.Table = u"041103a4"; // keys match without regard to case
  v.Translations = {0x03A40411, 0x04B00409};
  v.Strings.clear();
  for (const auto& [getter, name] : properties) {
    v.Strings.push_back(Str(name, name + u" of the file"));
  }
  // Other resource types around the version resource, and a second language after it.
  Version english;
  english.Strings = {Str(u"FileVersion", u"9.9")};
  const Bytes file =
      Pe(GetParam(),
         {{3, {Bytes(40, 1)}}, {16, {v.Block(), english.Block()}}, {24, {Bytes(100, 'x')}}})
          .Data;
  const TVerInfo info = TVerInfo::FromFileImage(file);
  EXPECT_EQ(info.LocaleId(), "0411");
  EXPECT_EQ(info.CodePage(), "03A4");
  for (const auto& [getter, name] : properties) {
    std::string expected(name.begin(), name.end());
    EXPECT_EQ((info.*getter)(), expected + " of the file");
  }
}

TEST_P(VerInfoPeTest, FromAFileOnDiskAsFromMemory) {
  test::TempDir dir;
  Version v;
  v.Strings = {Str(u"FileVersion", u"0.9.4.0")};
  const Bytes file = VersionPe(v, GetParam());
  std::ofstream(dir.File("a.exe"), std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  const TVerInfo info(dir.File("a.exe"));
  EXPECT_EQ(info.FileVersion(), "0.9.4.0");
  EXPECT_EQ(info.LocaleId(), "0409");
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, VerInfoPeTest, testing::Bool());

TEST(VerInfoTest, FilesWithoutVersionInformation) {
  test::TempDir dir;
  std::ofstream(dir.File("empty"));
  std::ofstream(dir.File("text")) << "MZ but no more than that";
  const Bytes manifestOnly = Pe(false, {{24, {Bytes(64, 'x')}}}).Data;
  std::ofstream(dir.File("manifest.exe"), std::ios::binary)
      .write(reinterpret_cast<const char*>(manifestOnly.data()),
             static_cast<std::streamsize>(manifestOnly.size()));
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0); // must not wait for a writer
#else
  std::ofstream(dir.File("fifo")); // named pipes live apart from files there
#endif
  for (const char* name : {"missing", "empty", "text", "manifest.exe", "fifo", "."}) {
    EXPECT_EQ(ErrorOf([&] { TVerInfo{dir.File(name)}; }), kNoVersionInfo) << name;
  }
}

TEST(VerInfoTest, StringValuesAreCutAtNulTrimmedAndConverted) {
  struct Case {
    Node Stored;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      {Str(u"FileVersion", u"  1.0.0.0 \t"), "1.0.0.0"},
      {Str(u"FileVersion", u"\x01"
                           u"a b\x1F"),
       "a b"},
      {Str(u"FileVersion", u"1.0\0junk"s, 9), "1.0"},
      {Str(u"FileVersion", u"abcdef", 3), "abc"},
      {Str(u"FileVersion", u"abc", 0), ""},
      {Str(u"FileVersion", u"abcd", 4000), "abcd"}, // length beyond the node
      {Str(u"FileVersion", u"   "), ""},
      {Str(u"FileVersion", u"東京 \U0001F5FE"), "東京 \U0001F5FE"},
      {Str(u"FileVersion", std::u16string(1, u'\xD800') + u"x"), "\uFFFDx"},
  };
  for (const Case& c : cases) {
    Version v;
    v.Strings = {Str(u"Comments", u"first"), c.Stored, Str(u"ProductName", u"last")};
    const TVerInfo info = TVerInfo::FromVersionBlock(v.Block());
    EXPECT_EQ(info.FileVersion(), c.Expected) << c.Expected;
    EXPECT_EQ(info.ProductName(), "last");
  }
}

TEST(VerInfoTest, ValuesTheFirstTranslationLacksRaise) {
  Version v;
  EXPECT_EQ(ErrorOf([&] { TVerInfo::FromVersionBlock(v.Block()).CompanyName(); }), kNoVersionInfo);
  v.Translations = {0x04E40407, 0x04B00409}; // the strings are in the second one's table
  EXPECT_EQ(ErrorOf([&] { TVerInfo::FromVersionBlock(v.Block()).FileVersion(); }), kNoVersionInfo);
}

TEST(VerInfoTest, FlagsAsStoredAndDllFromBitOneOfTheFileType) {
  struct Case {
    uint32_t Flags, Mask;
    bool Debug, Pre, Private, Special;
  };
  for (const Case& c : std::vector<Case>{{0x00, 0x3F, false, false, false, false},
                                         {0x01, 0x3F, true, false, false, false},
                                         {0x02, 0x3F, false, true, false, false},
                                         {0x04, 0x3F, false, false, false, false},
                                         {0x08, 0x3F, false, false, true, false},
                                         {0x20, 0x3F, false, false, false, true},
                                         {0x2B, 0x00, true, true, true, true}}) {
    Version v;
    v.Flags = c.Flags;
    v.Mask = c.Mask;
    const TVerInfo info = TVerInfo::FromVersionBlock(v.Block());
    EXPECT_EQ(info.DebugBuild(), c.Debug) << c.Flags;
    EXPECT_EQ(info.PreRelease(), c.Pre) << c.Flags;
    EXPECT_EQ(info.PrivateBuild(), c.Private) << c.Flags;
    EXPECT_EQ(info.SpecialBuild(), c.Special) << c.Flags;
  }
  for (const auto& [type, dll] : std::vector<std::pair<uint32_t, bool>>{
           {0, false}, {1, false}, {2, true}, {3, true}, {4, false}, {7, true}}) {
    Version v;
    v.FileType = type;
    EXPECT_EQ(TVerInfo::FromVersionBlock(v.Block()).Dll(), dll) << type;
  }
}

TEST(VerInfoTest, AMissingOrShortFixedPartRaisesOnlyForFlagsAndType) {
  for (const size_t bytes : {size_t{0}, size_t{40}}) {
    Version v;
    v.FixedBytes = bytes;
    const TVerInfo info = TVerInfo::FromVersionBlock(v.Block());
    EXPECT_EQ(info.FileVersion(), "1.2.3.4");
    EXPECT_EQ(ErrorOf([&] { info.Dll(); }), kNoRootBlock) << bytes;
    EXPECT_EQ(ErrorOf([&] { info.DebugBuild(); }), kNoRootBlock) << bytes;
  }
}

TEST(VerInfoTest, DamagedFilesRaiseAndNeverReadOutside) {
  const Pe good(false, {{16, {Version().Block()}}});
  const size_t rsrc = Pe::kRsrcAt;
  const size_t resourceEntry = Pe::kOptionalAt + 96 + 16;
  const size_t rsrcSection = good.SectionsAt + 40;
  const size_t block = good.DataEntryAt + 16; // the only resource follows its data entry
  const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> damages = {
      {"no MZ", [](Bytes& b) { b[0] = 'X'; }},
      {"PE header past the end", [](Bytes& b) { Set32(b, 0x3C, 0xFFFFFFF0); }},
      {"no PE signature", [](Bytes& b) { b[0x80] = 'Q'; }},
      {"unknown optional header", [](Bytes& b) { Set16(b, Pe::kOptionalAt, 0x107); }},
      {"optional header too short", [](Bytes& b) { Set16(b, 0x94, 96); }},
      {"two data directories", [](Bytes& b) { Set32(b, Pe::kOptionalAt + 92, 2); }},
      {"no resource directory", [&](Bytes& b) { Set32(b, resourceEntry, 0); }},
      {"resources in no section", [&](Bytes& b) { Set32(b, resourceEntry, 0x9000); }},
      {"resources wrap round", [&](Bytes& b) { Set32(b, resourceEntry, 0xFFFFFFF8); }},
      {"section past the file", [&](Bytes& b) { Set32(b, rsrcSection + 20, 0x100000); }},
      {"type is data", [&](Bytes& b) { Set32(b, rsrc + 20, 0x18); }},
      {"type loops to root", [&](Bytes& b) { Set32(b, rsrc + 20, 0x80000000u); }},
      {"name loops to itself", [&](Bytes& b) { Set32(b, rsrc + 0x18 + 20, 0x80000018u); }},
      {"language is a directory", [&](Bytes& b) { Set32(b, rsrc + 0x30 + 20, 0x80000000u); }},
      {"entries past the directory", [&](Bytes& b) { Set16(b, rsrc + 14, 0xFFFF); }},
      {"data past the file", [&](Bytes& b) { Set32(b, good.DataEntryAt, 0x7FFFFFF0); }},
      {"data of size 0", [&](Bytes& b) { Set32(b, good.DataEntryAt + 4, 0); }},
      {"block longer than data", [&](Bytes& b) { Set32(b, good.DataEntryAt + 4, 40); }},
      {"key not VS_VERSION_INFO", [&](Bytes& b) { b[block + 6] = 'W'; }},
      {"key cut by the length", [&](Bytes& b) { Set16(b, block, 20); }},
  };
  for (const auto& [what, damage] : damages) {
    Bytes b = good.Data;
    damage(b);
    EXPECT_EQ(ErrorOf([&] { TVerInfo::FromFileImage(b); }), kNoVersionInfo) << what;
  }
  // A name directory leading back to the root, whose first entry (damaged too) is data.
  Bytes loop = Pe(false, {{3, {Version().Block()}}, {16, {Version().Block()}}}).Data;
  Set32(loop, rsrc + 20, 0x50);
  Set32(loop, rsrc + 0x60 + 20, 0x80000000u);
  EXPECT_EQ(ErrorOf([&] { TVerInfo::FromFileImage(loop); }), kNoVersionInfo);

  Version noTranslation;
  noTranslation.Translations = {};
  EXPECT_EQ(ErrorOf([&] { TVerInfo::FromFileImage(VersionPe(noTranslation)); }), kNoVersionInfo);

  // Cut anywhere before the block's end the file fails; after it nothing is missing.
  const size_t blockEnd = block + Version().Block().size();
  for (size_t n = 0; n < good.Data.size(); n += 3) {
    const std::span<const uint8_t> cut(good.Data.data(), n);
    if (n < blockEnd) {
      EXPECT_EQ(ErrorOf([&] { TVerInfo::FromFileImage(cut); }), kNoVersionInfo) << n;
    } else {
      EXPECT_EQ(TVerInfo::FromFileImage(cut).FileVersion(), "1.2.3.4") << n;
    }
  }
  // Any one byte changed: a result or EVerInfo, nothing else (ASan watches the reads).
  for (size_t i = 0; i < blockEnd; ++i) {
    for (const uint8_t value : {0x00, 0x7F, 0xFF}) {
      Bytes b = good.Data;
      b[i] = value;
      try {
        const TVerInfo info = TVerInfo::FromFileImage(b);
        info.FileVersion();
        info.Dll();
      } catch (const EVerInfo&) {
      }
    }
  }
}

TEST(VerInfoTest, OwnVersionInformation) {
  const TVerInfo own = OwnVersionInfo();
  EXPECT_EQ(own.FileVersion(), "0.9.4.0");
  EXPECT_EQ(own.ProductVersion(), own.FileVersion());
  EXPECT_EQ(own.LocaleId(), "0411");
  EXPECT_EQ(own.CodePage(), "03A4");
  EXPECT_EQ(own.FileDescription(), "RaruviRoduvi Tarnwick");
  EXPECT_EQ(own.InternalName(), "TarnwickWin");
  EXPECT_EQ(own.OriginalFilename(), "TarnwickWin.exe");
  EXPECT_EQ(own.ProductName(), "Tarnwick");
  EXPECT_NE(own.LegalCopyright().find("GPL-3.0-or-later"), std::string::npos);
  EXPECT_FALSE(own.Dll());
  EXPECT_FALSE(own.PreRelease());
}

// The Windows build's resource, compiled by the real resource compiler and linked into a
// PE32+ DLL (then copied to PE32), reads back as the built-in values.
TEST(VerInfoTest, WindowsResourceMatchesTheBuiltInValues) {
  const std::string windres = TARNWICK_WINDRES, ld = TARNWICK_MINGW_LD;
  const std::string objcopy = TARNWICK_MINGW_OBJCOPY, cpp = TARNWICK_CPP;
#ifdef _WIN32
  GTEST_SKIP() << "the resource tools are Linux programs; tarnwick.exe's own resource is read "
                  "by the CLI tests";
#endif
  if (windres.empty() || ld.empty() || objcopy.empty() || cpp.empty()) {
    TARNWICK_SKIP_OR_FAIL_UNDER_CI("x86_64-w64-mingw32 binutils or cpp not installed");
  }
  test::TempDir dir;
  std::vector<std::vector<std::string>> steps = {
      {windres, "--preprocessor=" + cpp, "-i", TARNWICK_VERSION_RC, "-o", dir.File("v.o")},
      {ld, "--dll", "-e", "0", "-o", dir.File("v64.dll"), dir.File("v.o")},
      {objcopy, "-O", "pei-i386", dir.File("v64.dll"), dir.File("v32.dll")}};
#ifndef NDEBUG
  steps[0].insert(steps[0].begin() + 2, "--preprocessor-arg=-D_DEBUG");
#endif
  for (const auto& step : steps) {
    const test::ProcessResult r = test::RunProcess(step);
    ASSERT_EQ(r.ExitCode, 0) << step[0] << ": " << r.Err;
  }
  const TVerInfo own = OwnVersionInfo();
  for (const char* name : {"v64.dll", "v32.dll"}) {
    const TVerInfo dll(dir.File(name));
    EXPECT_EQ(dll.LocaleId(), own.LocaleId());
    EXPECT_EQ(dll.CodePage(), own.CodePage());
    for (auto getter :
         {&TVerInfo::CompanyName, &TVerInfo::FileDescription, &TVerInfo::FileVersion,
          &TVerInfo::InternalName, &TVerInfo::LegalCopyright, &TVerInfo::LegalTrademarks,
          &TVerInfo::OriginalFilename, &TVerInfo::ProductName, &TVerInfo::ProductVersion}) {
      EXPECT_EQ((dll.*getter)(), (own.*getter)()) << name;
    }
    EXPECT_EQ(ErrorOf([&] { dll.Comments(); }), ErrorOf([&] { own.Comments(); }));
    EXPECT_EQ(dll.Dll(), own.Dll());
    EXPECT_EQ(dll.DebugBuild(), own.DebugBuild());
  }
}

} // namespace
} // namespace tarnwick
