#include "support/str_util.hpp"

#include "support/errors.hpp"

#include <charconv>

namespace tarnwick {

std::string TStrUtil::SplitText(std::string_view Delim, std::string& S) {
  const auto p = Delim.empty() ? std::string::npos : S.find(Delim);
  if (p == std::string::npos) {
    std::string all = std::move(S);
    S.clear();
    return all;
  }
  std::string before = S.substr(0, p);
  S.erase(0, p + Delim.size());
  return before;
}

int SplitToArray(std::string_view Text, std::vector<std::string>& Parts, int MaxSplits,
                 char Delim) {
  if (MaxSplits < 0) {
    MaxSplits = 0;
  }
  if (Parts.size() < static_cast<size_t>(MaxSplits) + 1) {
    Parts.resize(static_cast<size_t>(MaxSplits) + 1);
  }
  int count = 0;
  while (count < MaxSplits) {
    const auto p = Text.find(Delim);
    if (p == std::string_view::npos) {
      break;
    }
    Parts[count++] = std::string(Text.substr(0, p));
    Text.remove_prefix(p + 1);
  }
  Parts[count++] = std::string(Text);
  return count;
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::optional<int32_t> ParseDigits(std::string_view digits, int base, bool negative) {
  if (digits.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  const auto* first = digits.data();
  const auto* last = first + digits.size();
  auto [ptr, ec] = std::from_chars(first, last, value, base);
  if (ec != std::errc() || ptr != last) {
    return std::nullopt;
  }
  if (base == 10) {
    const uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    if (value > limit) {
      return std::nullopt;
    }
  } else if (value > 0xFFFFFFFFULL) {
    return std::nullopt;
  }
  // Hexadecimal texts cover the whole 32-bit pattern ($FFFFFFFF is -1).
  int64_t v = base == 10 ? static_cast<int64_t>(value)
                         : static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  if (negative) {
    v = -v;
  }
  return static_cast<int32_t>(v);
}

} // namespace

std::optional<int32_t> TryStrToInt(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) {
    S.remove_prefix(1);
  }
  bool negative = false;
  if (!S.empty() && (S.front() == '-' || S.front() == '+')) {
    negative = S.front() == '-';
    S.remove_prefix(1);
  }
  if (!S.empty() && S.front() == '$') {
    return ParseDigits(S.substr(1), 16, negative);
  }
  if (S.size() >= 2 && S[0] == '0' && (S[1] == 'x' || S[1] == 'X')) {
    return ParseDigits(S.substr(2), 16, negative);
  }
  return ParseDigits(S, 10, negative);
}

int32_t StrToInt(std::string_view S) {
  if (auto v = TryStrToInt(S)) {
    return *v;
  }
  throw ConvertError("'" + std::string(S) + "' is not a valid integer value");
}

int32_t StrToIntDef(std::string_view S, int32_t Default) {
  return TryStrToInt(S).value_or(Default);
}

std::optional<int32_t> TryDecimalToInt(std::string_view S) {
  bool negative = false;
  if (!S.empty() && (S.front() == '-' || S.front() == '+')) {
    negative = S.front() == '-';
    S.remove_prefix(1);
  }
  return ParseDigits(S, 10, negative);
}

std::string HexStr(uint32_t Value, int Width) {
  char buf[16];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, Value, 16);
  std::string digits(buf, ptr);
  for (auto& c : digits) {
    if (c >= 'a' && c <= 'f') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (static_cast<int>(digits.size()) < Width) {
    digits.insert(0, static_cast<size_t>(Width) - digits.size(), '0');
  }
  return digits;
}

namespace {

// Length of the valid UTF-8 sequence at Text[Pos] (2..4), or 0 when it is not one.
size_t Utf8SequenceLength(std::string_view Text, size_t Pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(Text[i]); };
  const unsigned char lead = byte(Pos);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (Pos + length > Text.size() || byte(Pos + 1) < low || byte(Pos + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(Pos + i) < 0x80 || byte(Pos + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

} // namespace

std::string EscapeControls(std::string_view Text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(Text.size());
  size_t i = 0;
  while (i < Text.size()) {
    const auto c = static_cast<unsigned char>(Text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c == '\t' || c == '\n' || c == '\r') {
      out += '\\';
      out += c == '\t' ? 't' : c == '\n' ? 'n' : 'r';
      ++i;
      continue;
    }
    const size_t length = c >= 0x80 ? Utf8SequenceLength(Text, i) : 0;
    if (length == 0) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
      ++i;
      continue;
    }
    // U+0080..U+009F are C2 80..C2 9F in UTF-8.
    const auto second = static_cast<unsigned char>(Text[i + 1]);
    if (c == 0xC2 && second <= 0x9F) {
      out += "\\u00";
      out += kHex[second >> 4];
      out += kHex[second & 0x0F];
    } else {
      out.append(Text.substr(i, length));
    }
    i += length;
  }
  return out;
}

void AppendUtf8(std::string& Out, uint32_t Cp) {
  if (Cp < 0x80) {
    Out += static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    Out += static_cast<char>(0xC0 | Cp >> 6);
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else if (Cp < 0x10000) {
    Out += static_cast<char>(0xE0 | Cp >> 12);
    Out += static_cast<char>(0x80 | (Cp >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | Cp >> 18);
    Out += static_cast<char>(0x80 | (Cp >> 12 & 0x3F));
    Out += static_cast<char>(0x80 | (Cp >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  }
}

} // namespace tarnwick
