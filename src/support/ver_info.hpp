#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The version information of a Windows program file: the string values of its first
/// translation and the flags and file type of its fixed part, read from the VS_VERSIONINFO
/// block of its version resource. The file is parsed directly (see PeVersionResource), so this
/// works on every platform. Texts are UTF-16 in the block and UTF-8 here. Every property runs
/// its query anew over the block, which is copied and owned; the file is not kept open.
class TVerInfo {
 public:
  /// Reads the version block of the program file FileName and picks its first translation.
  /// Raises EVerInfo "バージョン情報が取得できません." when the file cannot be read, is no
  /// program file, or has no well-formed version block with a translation.
  explicit TVerInfo(const std::string& FileName);

  /// As the constructor, for the bytes of a whole program file in memory.
  static TVerInfo FromFileImage(std::span<const uint8_t> Image);
  /// As the constructor, for a VS_VERSIONINFO block on its own (the resource's bytes).
  static TVerInfo FromVersionBlock(std::vector<uint8_t> Block);

  // String values of the first translation. A value the translation lacks raises EVerInfo
  // "バージョン情報が取得できません."; a value present but empty gives "". The text ends at
  // its first NUL, and blanks and control characters are removed from both ends.
  std::string CompanyName() const { return StringValue("CompanyName"); }
  std::string FileDescription() const { return StringValue("FileDescription"); }
  std::string FileVersion() const { return StringValue("FileVersion"); }
  std::string InternalName() const { return StringValue("InternalName"); }
  std::string LegalCopyright() const { return StringValue("LegalCopyright"); }
  std::string LegalTrademarks() const { return StringValue("LegalTrademarks"); }
  std::string OriginalFilename() const { return StringValue("OriginalFilename"); }
  std::string ProductName() const { return StringValue("ProductName"); }
  std::string ProductVersion() const { return StringValue("ProductVersion"); }
  std::string Comments() const { return StringValue("Comments"); }
  std::string PrivateBuildComments() const { return StringValue("PrivateBuild"); }
  std::string SpecialBuildComments() const { return StringValue("SpecialBuild"); }

  // File flags of the fixed part as stored (the flag mask is not applied). A block whose
  // fixed part is missing or shorter than its 52 bytes raises EVerInfo
  // "ルートブロックが取得できません.".
  bool DebugBuild() const { return (FixedField(kFileFlagsAt) & 0x01) != 0; }
  bool PreRelease() const { return (FixedField(kFileFlagsAt) & 0x02) != 0; }
  bool PrivateBuild() const { return (FixedField(kFileFlagsAt) & 0x08) != 0; }
  bool SpecialBuild() const { return (FixedField(kFileFlagsAt) & 0x20) != 0; }
  /// Bit 1 of the fixed part's file type: true for a DLL (2), false for an application (1).
  bool Dll() const { return (FixedField(kFileTypeAt) & 0x02) != 0; }

  /// Language of the first translation, four upper-case hexadecimal digits ("0411").
  const std::string& LocaleId() const { return LangId; }
  /// Code page of the first translation, four upper-case hexadecimal digits ("03A4").
  const std::string& CodePage() const { return CharSetId; }

 private:
  // Offsets in VS_FIXEDFILEINFO.
  static constexpr size_t kFileFlagsAt = 28;
  static constexpr size_t kFileTypeAt = 36;

  struct FromBlock {};
  TVerInfo(FromBlock, std::vector<uint8_t> Block);

  std::string StringValue(std::string_view Name) const;
  uint32_t FixedField(size_t Offset) const;

  std::vector<uint8_t> pVerInfo; // the version block, exactly as long as its root says
  std::string LangId;
  std::string CharSetId;
};

} // namespace tarnwick
