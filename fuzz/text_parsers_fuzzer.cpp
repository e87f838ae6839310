// Date-time texts (as GPX files and settings carry them), integers and INI files.
#include "support/date_time.hpp"
#include "support/errors.hpp"
#include "support/ini_file.hpp"
#include "support/str_util.hpp"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const TDateTime t = TUTCDateTime::StrToDateTime(text);
    // Whatever parses must format and parse back to the same millisecond.
    const std::string back = TUTCDateTime::DateTimeToUTCStr(t);
    if (DateTimeToMilliseconds(TUTCDateTime::StrToDateTime(back)) != DateTimeToMilliseconds(t)) {
      __builtin_trap();
    }
  } catch (const EConvertError&) {
  }
  int h = 0;
  int m = 0;
  int s = 0;
  int ms = 0;
  try {
    TUTCDateTime::TimeStrToHMS(text, h, m, s, ms);
    TUTCDateTime::TimeStrToDouble(text);
    TUTCDateTime::TimeStrToTime(text);
  } catch (const EConvertError&) {
  }
  try {
    TUTCDateTime::DateStrToDate(text);
  } catch (const EConvertError&) {
  }
  try {
    TUTCDateTime::Y4M2D2ToDate(text);
  } catch (const EConvertError&) {
  }
  TryStrToInt(text);
  std::vector<std::string> parts;
  SplitToArray(text, parts, static_cast<int>(size % 5), ':');
  TIniFile ini;
  ini.LoadFromString(text);
  ini.ReadInteger("Setting", "ReadRetryCount", 5);
  ini.ReadBool("Debug", "OutputLog", false);
  ini.WriteString("Model", "DumpStr", "000013");
  ini.SaveToString(true);
  return 0;
}
