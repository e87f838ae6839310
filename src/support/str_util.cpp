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
  throw EConvertError("'" + std::string(S) + "' is not a valid integer value");
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

} // namespace tarnwick
