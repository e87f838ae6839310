#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Text helpers used by the parsers.
class TStrUtil {
 public:
  /// Returns the text of S before the first Delim and leaves in S what follows it;
  /// when Delim is absent returns all of S and leaves S empty.
  static std::string SplitText(std::string_view Delim, std::string& S);
};

/// Splits Text at up to MaxSplits occurrences of Delim, left to right, into Parts[0..];
/// the last piece keeps the remainder. Parts grows to MaxSplits + 1 entries when smaller;
/// entries after the last filled one keep their values. Returns the number of pieces.
int SplitToArray(std::string_view Text, std::vector<std::string>& Parts, int MaxSplits, char Delim);

/// Reads an integer the way the settings and status files write them: optional blanks and
/// sign, then decimal digits, or hexadecimal digits after "$", "0x" or "0X". Nothing may
/// follow. Empty when the text is not such a number or does not fit 32 bits.
std::optional<int32_t> TryStrToInt(std::string_view S);

/// As TryStrToInt, but raises ConvertError "'S' is not a valid integer value".
int32_t StrToInt(std::string_view S);

/// As TryStrToInt, with Default for a text that is not a number.
int32_t StrToIntDef(std::string_view S, int32_t Default);

/// Strict decimal integer: optional sign and at least one digit, nothing else.
std::optional<int32_t> TryDecimalToInt(std::string_view S);

/// Text from a file or a device made safe for a terminal and for one line of a table: tab, line
/// feed and carriage return become \t, \n and \r; other C0 characters, DEL and bytes that are
/// not part of valid UTF-8 become \xHH; C1 characters (U+0080..U+009F) become \u0080..\u009F.
/// Everything else, backslashes included, is kept as it is.
std::string EscapeControls(std::string_view Text);

/// Appends the UTF-8 form of the code point Cp (at most U+10FFFF).
void AppendUtf8(std::string& Out, uint32_t Cp);

/// Upper-case hexadecimal of Value, zero-padded to Width digits ("%W.Wx").
std::string HexStr(uint32_t Value, int Width);

} // namespace tarnwick
