// Date-time texts (as GPX files and settings carry them), integers, INI files, and the
// editing of an old status file.
#include "support/date_time.hpp"
#include "support/errors.hpp"
#include "support/ini_file.hpp"
#include "support/ini_line_editor.hpp"
#include "support/str_util.hpp"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const DateTime t = TUTCDateTime::StrToDateTime(text);
    // Whatever parses must format and parse back to the same millisecond.
    const std::string back = TUTCDateTime::DateTimeToUTCStr(t);
    if (DateTimeToMilliseconds(TUTCDateTime::StrToDateTime(back)) != DateTimeToMilliseconds(t)) {
      __builtin_trap();
    }
  } catch (const ConvertError&) {
  }
  int h = 0;
  int m = 0;
  int s = 0;
  int ms = 0;
  try {
    TUTCDateTime::TimeStrToHMS(text, h, m, s, ms);
    TUTCDateTime::TimeStrToDouble(text);
    TUTCDateTime::TimeStrToTime(text);
  } catch (const ConvertError&) {
  }
  try {
    TUTCDateTime::DateStrToDate(text);
  } catch (const ConvertError&) {
  }
  try {
    TUTCDateTime::Y4M2D2ToDate(text);
  } catch (const ConvertError&) {
  }
  TryStrToInt(text);
  std::vector<std::string> parts;
  SplitToArray(text, parts, static_cast<int>(size % 5), ':');
  IniFile ini;
  ini.LoadFromString(text);
  ini.ReadInteger("Setting", "ReadRetryCount", 5);
  ini.ReadBool("Debug", "OutputLog", false);
  ini.WriteString("Model", "DumpStr", "000013");
  ini.SaveToString(true);

  // Whatever an old status file holds, the keys set into it must read back as set, and
  // setting them again must change nothing.
  const char* const settings[][3] = {{"Model", "DumpStr", "000013"},
                                     {"Ident", "DumpStr", "39300000010500640102"},
                                     {"Count", "Count", "300"},
                                     {"BlockFile", "CRC32", "C71C0011"}};
  IniLineEditor editor(text);
  for (const auto& s : settings) {
    editor.Set(s[0], s[1], s[2]);
  }
  const std::string edited = editor.Text();
  IniFile check;
  check.LoadFromString(edited);
  IniLineEditor again(edited);
  for (const auto& s : settings) {
    if (check.ReadString(s[0], s[1], "") != s[2]) {
      __builtin_trap();
    }
    again.Set(s[0], s[1], s[2]);
  }
  if (again.Text() != edited) {
    __builtin_trap();
  }
  return 0;
}
