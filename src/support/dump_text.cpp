#include "support/dump_text.hpp"

namespace tarnwick {

std::string BytesToHex(const uint8_t* Data, int N) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  if (N <= 0) {
    return s;
  }
  s.resize(static_cast<size_t>(N) * 3);
  for (size_t i = 0; i < static_cast<size_t>(N); ++i) {
    s[i * 3] = kDigits[Data[i] >> 4];
    s[i * 3 + 1] = kDigits[Data[i] & 0x0F];
    s[i * 3 + 2] = ' ';
  }
  return s;
}

std::string IntToBinStr(uint32_t Value) {
  std::string s(32, '0');
  for (int i = 31; i >= 0; --i) {
    s[i] = (Value & 1U) ? '1' : '0';
    Value >>= 1;
  }
  return s;
}

} // namespace tarnwick
