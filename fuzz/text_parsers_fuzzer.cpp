// Date-time texts (as GPX files, settings and status files carry them), year eras and time
// zones as options and settings name them, integers, INI files, and the editing of an old
// status file.
#include "logger/year_era.hpp"
#include "support/date_time.hpp"
#include "support/errors.hpp"
#include "support/ini_file.hpp"
#include "support/ini_line_editor.hpp"
#include "support/str_util.hpp"
#include "support/time_zone.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tarnwick;

// An ISO UTC text that reads writes back as itself, to the second.
void CheckIsoUtc(const std::string& Text) {
  const std::optional<DateTime> t = TryParseIsoUtc(Text);
  if (!t) {
    return;
  }
  const std::string back = FormatIsoUtc(*t);
  const std::optional<DateTime> again = TryParseIsoUtc(back);
  if (back != Text.substr(0, 19) + "Z" || !again || FormatIsoUtc(*again) != back) {
    __builtin_trap();
  }
}

// "SETTING" or "SETTING|MOMENT": a year era or a time zone as the options name them, with an
// ISO UTC download moment.
void CheckEraAndZone(const std::string& Text) {
  const size_t bar = Text.find('|');
  const std::string_view setting = std::string_view(Text).substr(0, bar);
  const std::optional<DateTime> moment =
      bar == std::string::npos ? std::nullopt : TryParseIsoUtc(Text.substr(bar + 1));
  try {
    const YearEra era = YearEra::FromSetting(setting, moment);
    (void)era.Description();
    const int latest = moment ? DecodeDateTime(*moment + 1.0).Year : 0;
    for (int ym = 0; ym < 256; ++ym) {
      const auto dhm = static_cast<uint16_t>(ym * 257 + Text.size());
      const int year = era.YearBase(static_cast<uint8_t>(ym), dhm, 0) + (ym >> 4);
      // A chosen era holds every year in its window; the download's never goes past it.
      const bool outside =
          era.Type() == YearEra::Kind::Auto
              ? (!era.IsRecorded() && year > latest && era.YearBase(static_cast<uint8_t>(ym),
                                                                   dhm, 0) != 2000)
              : (year < era.FirstYear() || year > era.LastYear());
      if (outside) {
        __builtin_trap();
      }
    }
  } catch (const ConvertError&) {
  }
  try {
    const TimeZone zone = TimeZone::FromSetting(setting);
    if (!(TimeZone::FromSetting(zone.Setting()) == zone)) {
      __builtin_trap(); // what a zone says it was made from makes it again
    }
    (void)zone.Name();
    if (moment) {
      (void)zone.OffsetMinutes(*moment);
      (void)zone.Abbreviation(*moment);
      (void)zone.ToUtc(zone.FromUtc(*moment));
    }
  } catch (const ConvertError&) {
  }
}

} // namespace

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
  CheckIsoUtc(text);
  CheckEraAndZone(text);
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
