#include "support/own_version_info.hpp"

#include "support/version.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

// packaging/windows/version.rc.in repeats these for the Windows build; a test compiles it and
// compares.
constexpr uint16_t kLanguage = 0x0411;
constexpr uint16_t kCodePage = 0x03A4;
constexpr const char* kStringTable = "041103A4";
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kFileOs = 0x40004; // VOS_NT_WINDOWS32
constexpr uint32_t kFileTypeApp = 1;
#ifdef NDEBUG
constexpr uint32_t kFileFlags = 0;
#else
constexpr uint32_t kFileFlags = 0x01; // VS_FF_DEBUG
#endif

std::vector<std::pair<const char*, std::string>> Strings() {
  return {
      {"CompanyName", "Tarnwick developers"},
      {"FileDescription", "RaruviRoduvi Tarnwick"},
      {"FileVersion", kFileVersion},
      {"InternalName", "TarnwickWin"},
      {"LegalCopyright", "Copyright (C) 2026 Tarnwick developers; GPL-3.0-or-later"},
      {"LegalTrademarks", ""},
      {"OriginalFilename", "TarnwickWin.exe"},
      {"ProductName", kProductName},
      {"ProductVersion", kFileVersion},
  };
}

class BlockWriter {
 public:
  // Starts a node on the next 32-bit boundary with its header and key; Close sets its length.
  size_t Open(std::string_view Key, size_t ValueLength, bool Text) {
    Pad();
    const size_t start = bytes_.size();
    Put16(0);
    Put16(static_cast<uint16_t>(ValueLength));
    Put16(Text ? 1 : 0);
    PutText(Key);
    Pad();
    return start;
  }
  void Close(size_t Start) {
    const size_t length = bytes_.size() - Start;
    bytes_[Start] = static_cast<uint8_t>(length);
    bytes_[Start + 1] = static_cast<uint8_t>(length >> 8);
  }
  void Put16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void Put32(uint32_t v) {
    Put16(static_cast<uint16_t>(v));
    Put16(static_cast<uint16_t>(v >> 16));
  }
  // The texts are ASCII, so each byte is one UTF-16 unit; a NUL ends the text.
  void PutText(std::string_view Text) {
    for (const char c : Text) {
      Put16(static_cast<unsigned char>(c));
    }
    Put16(0);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Pad() {
    while (bytes_.size() % 4 != 0) {
      bytes_.push_back(0);
    }
  }
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> OwnVersionBlock() {
  constexpr uint32_t kFixedInfoSize = 52;
  const uint32_t versionMs = kVersionMajor << 16 | kVersionMinor;
  const uint32_t versionLs = kVersionPatch << 16 | kVersionTweak;
  BlockWriter w;
  const size_t root = w.Open("VS_VERSION_INFO", kFixedInfoSize, false);
  for (const uint32_t v : {0xFEEF04BDu, 0x00010000u, versionMs, versionLs, versionMs, versionLs,
                           kFileFlagsMask, kFileFlags, kFileOs, kFileTypeApp, 0u, 0u, 0u}) {
    w.Put32(v);
  }
  const size_t fileInfo = w.Open("StringFileInfo", 0, true);
  const size_t table = w.Open(kStringTable, 0, true);
  for (const auto& [name, value] : Strings()) {
    const size_t entry = w.Open(name, value.size() + 1, true);
    w.PutText(value);
    w.Close(entry);
  }
  w.Close(table);
  w.Close(fileInfo);
  const size_t varInfo = w.Open("VarFileInfo", 0, true);
  const size_t translation = w.Open("Translation", 4, false);
  w.Put16(kLanguage);
  w.Put16(kCodePage);
  w.Close(translation);
  w.Close(varInfo);
  w.Close(root);
  return w.Take();
}

} // namespace

TVerInfo OwnVersionInfo() {
  return TVerInfo::FromVersionBlock(OwnVersionBlock());
}

} // namespace tarnwick
