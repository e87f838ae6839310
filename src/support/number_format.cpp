#include "support/number_format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace tarnwick {

void AppendFixed(std::string& Out, double Value, int Decimals, char DecimalSeparator) {
  if (!std::isfinite(Value)) {
    Out += std::isnan(Value) ? "NAN" : (Value < 0 ? "-INF" : "INF");
    return;
  }
  char buf[400];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, Decimals);
  if (ec != std::errc()) {
    Out += "?";
    return;
  }
  const auto start = Out.size();
  Out.append(buf, ptr);
  if (DecimalSeparator != '.') {
    for (auto i = start; i < Out.size(); ++i) {
      if (Out[i] == '.') {
        Out[i] = DecimalSeparator;
        break;
      }
    }
  }
}

std::string FormatFixed(double Value, int Decimals, char DecimalSeparator) {
  std::string s;
  AppendFixed(s, Value, Decimals, DecimalSeparator);
  return s;
}

void AppendInt(std::string& Out, long long Value) {
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, Value);
  Out.append(buf, ptr);
}

void AppendIntPadded(std::string& Out, long long Value, int Width, char Pad) {
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, Value);
  const auto len = ptr - buf;
  if (len < Width) {
    Out.append(static_cast<size_t>(Width - len), Pad);
  }
  Out.append(buf, ptr);
}

void AppendSignificant(std::string& Out, double Value, int Digits) {
  if (!std::isfinite(Value)) {
    Out += std::isnan(Value) ? "NAN" : (Value < 0 ? "-INF" : "INF");
    return;
  }
  Digits = std::clamp(Digits, 1, 17);
  // Rounding to the digits is left to the scientific form; its digits and exponent are then
  // placed as plain decimal text. The shortest form that reads back as Value is tried first:
  // when it has no more than Digits (up to 15) digits it is that rounding already, since it
  // lies closer to Value than half a unit of the last of those digits.
  char buf[32];
  auto shortest = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific);
  int digitCount = 0;
  for (const char* p = buf; p != shortest.ptr && *p != 'e'; ++p) {
    digitCount += *p >= '0' && *p <= '9';
  }
  if (shortest.ec != std::errc() || digitCount > Digits || Digits > 15) {
    shortest =
        std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, Digits - 1);
  }
  char* const end = shortest.ptr;
  const std::errc ec = shortest.ec;
  if (ec != std::errc()) {
    Out += "?";
    return;
  }
  const std::string_view sci(buf, static_cast<size_t>(end - buf));
  const size_t e = sci.find('e');
  std::string_view mantissa = sci.substr(0, e);
  int exponent = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), end, exponent);
  const bool negative = mantissa.front() == '-';
  if (negative) {
    mantissa.remove_prefix(1);
  }
  char digitBuf[24];
  size_t count = 0;
  for (const char c : mantissa) {
    if (c != '.') {
      digitBuf[count++] = c;
    }
  }
  while (count > 1 && digitBuf[count - 1] == '0') {
    --count;
  }
  const std::string_view digits(digitBuf, count);
  if (digits == "0") {
    Out += '0'; // also for -0
    return;
  }
  if (negative) {
    Out += '-';
  }
  // Digits of the integer part: exponent + 1.
  const int intDigits = exponent + 1;
  const int n = static_cast<int>(digits.size());
  if (intDigits <= 0) {
    Out += "0.";
    Out.append(static_cast<size_t>(-intDigits), '0');
    Out += digits;
  } else if (intDigits >= n) {
    Out += digits;
    Out.append(static_cast<size_t>(intDigits - n), '0');
  } else {
    Out.append(digits, 0, static_cast<size_t>(intDigits));
    Out += '.';
    Out.append(digits, static_cast<size_t>(intDigits), std::string::npos);
  }
}

std::string FormatSignificant(double Value, int Digits) {
  std::string s;
  AppendSignificant(s, Value, Digits);
  return s;
}

} // namespace tarnwick
