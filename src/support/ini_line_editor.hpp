#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Sets keys in an INI text and keeps every other line exactly as it was: comments, blank
/// lines, spacing, duplicate keys, lines without "=" and line ends all stay byte for byte.
/// Sections and keys are recognised as IniFile reads them (names without case, the text
/// from a NUL byte on unread), so that IniFile reads back every value set here.
class IniLineEditor {
 public:
  /// Takes Text as it is; an empty text makes an empty file.
  explicit IniLineEditor(std::string_view Text);

  /// Sets Key in Section to Value, written as "Key=Value" with CR LF. The first line that
  /// sets the key gets the new value and later ones are dropped, so the value read back is
  /// this one; a missing key goes after the last key of the section's first occurrence; a
  /// missing section goes at the end, after a blank line.
  void Set(std::string_view Section, std::string_view Key, std::string_view Value);

  /// Removes every line that sets Key in Section; the rest stays as it was.
  void Remove(std::string_view Section, std::string_view Key);

  /// The edited text.
  std::string Text() const;

 private:
  struct Line {
    std::string Raw;          // the bytes of the line with its line end
    std::string Section;      // lower-case name of the section it stands in (its own for a header)
    std::string Key;          // lower-case key of a key line, else empty
    bool Header = false;      // a line that starts a section; without "]" one no name reaches
    bool OpensHeader = false; // a "[" whose name the reader looks for on the next lines
  };

  // Where new sections go: before a "[" that never gets its name, else after the last line.
  size_t ReadableEnd() const;
  // Inserts NewLine before line Index, ending the line before it first when it has no end.
  void InsertAt(size_t Index, Line NewLine);

  std::vector<Line> lines_;
  std::string tail_; // from the first NUL byte on, which the reader never sees
};

} // namespace tarnwick
