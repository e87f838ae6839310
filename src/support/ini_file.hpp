#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

/// An INI text (sections in brackets, key=value lines) in memory. Keeps the order of
/// sections and keys and every key it does not touch; names compare without case.
class IniFile {
 public:
  IniFile();
  ~IniFile();
  IniFile(IniFile&&) noexcept;
  IniFile& operator=(IniFile&&) noexcept;

  /// Replaces the content with the parsed Text (a UTF-8 signature is skipped).
  void LoadFromString(std::string_view Text);
  /// Reads FileName; a missing file gives an empty INI. Other failures raise FileError.
  static IniFile LoadFromFile(const std::string& FileName);

  /// The value of Key in Section, or Default when either is missing.
  std::string ReadString(std::string_view Section, std::string_view Key,
                         std::string_view Default) const;
  /// Whether the text has Section (with or without keys).
  bool HasSection(std::string_view Section) const;
  /// Decimal, or hexadecimal after "0x" or "$"; Default when missing or not a number.
  int32_t ReadInteger(std::string_view Section, std::string_view Key, int32_t Default) const;
  /// An integer: 0 is false, any other number true; Default when missing or not a number.
  bool ReadBool(std::string_view Section, std::string_view Key, bool Default) const;

  /// Sets Key in Section, adding either at the end when new.
  void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);

  /// The INI text, lines ended by CR LF when CrLf is true, else LF; blank lines between
  /// sections.
  std::string SaveToString(bool CrLf) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace tarnwick
