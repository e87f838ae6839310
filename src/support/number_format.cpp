#include "support/number_format.hpp"

#include <charconv>
#include <cmath>

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

} // namespace tarnwick
