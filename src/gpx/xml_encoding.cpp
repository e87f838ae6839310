#include "gpx/xml_encoding.hpp"

#include "gpx/xml_writer.hpp"
#include "support/byte_order.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace tarnwick {

namespace {

enum class Encoding { Utf8, Ascii, Latin1, Windows1252, Utf16LE, Utf16BE };

// windows-1252 at 0x80..0x9F; 0 where the code page defines no character.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

[[noreturn]] void Refuse(const std::string& SourceName, std::string_view Text, size_t Offset,
                         const std::string& What) {
  throw ConvertError(XmlLineLocation(SourceName, Text, Offset) + ": " + What);
}

[[noreturn]] void RefuseFile(const std::string& SourceName, const std::string& What) {
  throw ConvertError(SourceName + ": " + What);
}

bool SameName(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(a) == lower(b);
         });
}

bool IsXmlBlank(char C) {
  return C == ' ' || C == '\t' || C == '\r' || C == '\n';
}

// The value of the encoding pseudo-attribute of the XML declaration at the start of Text, if
// it has one. Only ASCII is looked at, so this works on any ASCII-compatible text.
std::optional<std::string> DeclaredEncoding(std::string_view Text, const std::string& SourceName) {
  if (Text.substr(0, 5) != "<?xml" || Text.size() < 6 || !IsXmlBlank(Text[5])) {
    return std::nullopt;
  }
  const size_t end = Text.find("?>");
  if (end == std::string_view::npos) {
    Refuse(SourceName, Text, 0, "the XML declaration does not end");
  }
  std::string_view decl = Text.substr(5, end - 5);
  std::optional<std::string> encoding;
  while (true) {
    while (!decl.empty() && IsXmlBlank(decl.front())) {
      decl.remove_prefix(1);
    }
    if (decl.empty()) {
      return encoding;
    }
    const size_t eq = decl.find('=');
    if (eq == std::string_view::npos) {
      Refuse(SourceName, Text, 0, "malformed XML declaration");
    }
    std::string_view name = decl.substr(0, eq);
    while (!name.empty() && IsXmlBlank(name.back())) {
      name.remove_suffix(1);
    }
    decl.remove_prefix(eq + 1);
    while (!decl.empty() && IsXmlBlank(decl.front())) {
      decl.remove_prefix(1);
    }
    if (decl.empty() || (decl.front() != '"' && decl.front() != '\'')) {
      Refuse(SourceName, Text, 0, "malformed XML declaration");
    }
    const size_t close = decl.find(decl.front(), 1);
    if (close == std::string_view::npos) {
      Refuse(SourceName, Text, 0, "malformed XML declaration");
    }
    if (name == "encoding") {
      encoding = std::string(decl.substr(1, close - 1));
    }
    decl.remove_prefix(close + 1);
  }
}

std::optional<Encoding> EightBitEncoding(std::string_view Name) {
  for (const char* n : {"UTF-8"}) {
    if (SameName(Name, n)) {
      return Encoding::Utf8;
    }
  }
  for (const char* n : {"US-ASCII", "ASCII"}) {
    if (SameName(Name, n)) {
      return Encoding::Ascii;
    }
  }
  for (const char* n : {"ISO-8859-1", "ISO_8859-1", "ISO8859-1", "latin1", "l1"}) {
    if (SameName(Name, n)) {
      return Encoding::Latin1;
    }
  }
  for (const char* n : {"windows-1252", "cp1252"}) {
    if (SameName(Name, n)) {
      return Encoding::Windows1252;
    }
  }
  return std::nullopt;
}

std::string FromEightBit(std::string_view Bytes, Encoding Enc, const std::string& SourceName) {
  std::string out;
  out.reserve(Bytes.size() + Bytes.size() / 8);
  for (size_t i = 0; i < Bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(Bytes[i]);
    uint32_t cp = b;
    if (Enc == Encoding::Windows1252 && b >= 0x80 && b < 0xA0) {
      cp = kWindows1252High[b - 0x80];
      if (cp == 0) {
        Refuse(SourceName, Bytes, i,
               "byte 0x" + std::string(1, "0123456789ABCDEF"[b >> 4]) + "0123456789ABCDEF"[b & 15] +
                   " is not a character in windows-1252");
      }
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string FromUtf16(std::string_view Bytes, bool BigEndian, const std::string& SourceName) {
  if (Bytes.size() % 2 != 0) {
    RefuseFile(SourceName, "a UTF-16 file with an odd number of bytes");
  }
  const auto unit = [&](size_t i) -> uint32_t {
    const auto* p = reinterpret_cast<const uint8_t*>(Bytes.data() + i);
    return BigEndian ? GetBE16(p) : GetLE16(p);
  };
  std::string out;
  out.reserve(Bytes.size() / 2 + Bytes.size() / 8);
  for (size_t i = 0; i < Bytes.size(); i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 2 < Bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      Refuse(SourceName, out, out.size(), "an unpaired UTF-16 surrogate");
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// Refuses the first byte of Text that does not begin a character XML 1.0 allows.
void CheckCharacters(std::string_view Text, const std::string& SourceName) {
  // 0: stands for itself; 1: a control character XML does not allow; 2: starts a multi-byte
  // sequence.
  static constexpr auto kClass = [] {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
      table[static_cast<size_t>(c)] =
          c >= 0x80 ? 2 : (c < 0x20 && c != '\t' && c != '\n' && c != '\r' ? 1 : 0);
    }
    return table;
  }();
  const size_t n = Text.size();
  for (size_t i = 0; i < n; ++i) {
    // Eight bytes at a time while all are ASCII from the blank on: most of a GPX file.
    while (i + 8 <= n) {
      uint64_t word = 0;
      std::memcpy(&word, Text.data() + i, 8);
      constexpr uint64_t kHigh = 0x8080808080808080ULL;
      const uint64_t belowBlank = (word - 0x2020202020202020ULL) & ~word & kHigh;
      if (((word & kHigh) | belowBlank) != 0) {
        break;
      }
      i += 8;
    }
    if (i >= n) {
      break;
    }
    const uint8_t cls = kClass[static_cast<unsigned char>(Text[i])];
    if (cls == 0) {
      continue;
    }
    const size_t len = cls == 2 ? XmlCharLength(Text, i) : 0;
    if (len == 0) {
      const auto b = static_cast<unsigned char>(Text[i]);
      const std::string hex = {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
      Refuse(SourceName, Text, i,
             cls == 1
                 ? "control character U+00" + hex + ", which XML does not allow"
                 : "byte 0x" + hex + " starts no UTF-8 sequence of a character that XML allows");
    }
    i += len - 1;
  }
}

} // namespace

std::string XmlLineLocation(const std::string& SourceName, std::string_view Text, size_t Offset) {
  Offset = std::min(Offset, Text.size());
  const auto line =
      1 + std::count(Text.begin(), Text.begin() + static_cast<ptrdiff_t>(Offset), '\n');
  return SourceName + ", line " + std::to_string(line);
}

std::string_view DecodeXmlTextInPlace(std::string_view Bytes, std::string& Converted,
                                      const std::string& SourceName) {
  const auto starts = [&](std::string_view Prefix) {
    return Bytes.substr(0, Prefix.size()) == Prefix;
  };
  using namespace std::string_view_literals;
  if (starts("\x00\x00\xFE\xFF"sv) || starts("\xFF\xFE\x00\x00"sv) ||
      starts("\x00\x00\x00\x3C"sv) || starts("\x3C\x00\x00\x00"sv)) {
    RefuseFile(SourceName, "encoding UTF-32 is not supported (UTF-8, UTF-16, ISO-8859-1 and "
                           "windows-1252 are)");
  }
  if (starts("\xFE\xFF"sv) || starts("\xFF\xFE"sv)) {
    Converted = FromUtf16(Bytes.substr(2), Bytes[0] == '\xFE', SourceName);
    if (const auto declared = DeclaredEncoding(Converted, SourceName);
        declared && !SameName(declared->substr(0, 6), "UTF-16")) {
      RefuseFile(SourceName, "declares encoding \"" + *declared +
                                 "\" but begins with a UTF-16 byte-order mark");
    }
    CheckCharacters(Converted, SourceName);
    return Converted;
  }
  // A NUL beside a character in the first two bytes: UTF-16 text, but no mark says which.
  if (Bytes.size() >= 2 && (Bytes[0] == '\0') != (Bytes[1] == '\0')) {
    RefuseFile(SourceName, "UTF-16 without a byte-order mark");
  }
  const bool bom = starts("\xEF\xBB\xBF"sv);
  if (bom) {
    Bytes.remove_prefix(3);
  }
  const std::optional<std::string> declared = DeclaredEncoding(Bytes, SourceName);
  const std::optional<Encoding> enc = declared ? EightBitEncoding(*declared) : Encoding::Utf8;
  if (!enc) {
    RefuseFile(SourceName, "encoding \"" + declared->substr(0, 40) +
                               "\" is not supported (UTF-8, UTF-16, ISO-8859-1 and "
                               "windows-1252 are)");
  }
  if (bom && *enc != Encoding::Utf8) {
    RefuseFile(SourceName,
               "declares encoding \"" + *declared + "\" but begins with a UTF-8 byte-order mark");
  }
  if (*enc == Encoding::Ascii) {
    const auto high = std::find_if(Bytes.begin(), Bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high != Bytes.end()) {
      Refuse(SourceName, Bytes, static_cast<size_t>(high - Bytes.begin()),
             "a byte above 0x7F in a file declared US-ASCII");
    }
  }
  if (*enc == Encoding::Latin1 || *enc == Encoding::Windows1252) {
    // Only text beyond ASCII needs converting.
    if (std::any_of(Bytes.begin(), Bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
      Converted = FromEightBit(Bytes, *enc, SourceName);
      CheckCharacters(Converted, SourceName);
      return Converted;
    }
  }
  CheckCharacters(Bytes, SourceName);
  return Bytes;
}

std::string DecodeXmlText(std::string Bytes, const std::string& SourceName) {
  std::string converted;
  const std::string_view text = DecodeXmlTextInPlace(Bytes, converted, SourceName);
  // The text is either the conversion or the end of Bytes (after a byte-order mark); only
  // equality is asked of pointers into different strings.
  if (text.data() == converted.data()) {
    return converted;
  }
  Bytes.erase(0, Bytes.size() - text.size());
  return Bytes;
}

} // namespace tarnwick
