#include "support/ini_file.hpp"
#include "support/ini_line_editor.hpp"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace tarnwick {
namespace {

using namespace std::string_literals;
using Setting = std::tuple<std::string, std::string, std::string>; // section, key, value

struct EditCase {
  const char* Name;
  std::string Before;
  std::vector<Setting> Settings;
  std::string After;
};

void PrintTo(const EditCase& c, std::ostream* os) {
  *os << c.Name;
}

class IniLineEditorCases : public ::testing::TestWithParam<EditCase> {};

// Every case is also read back the way the status file is read: the values set must win.
TEST_P(IniLineEditorCases, EditsOnlyTheKeysItSets) {
  const EditCase& c = GetParam();
  IniLineEditor editor(c.Before);
  for (const auto& [section, key, value] : c.Settings) {
    editor.Set(section, key, value);
  }
  const std::string text = editor.Text();
  EXPECT_EQ(text, c.After);
  IniFile reader;
  reader.LoadFromString(text);
  for (const auto& [section, key, value] : c.Settings) {
    EXPECT_EQ(reader.ReadString(section, key, "<missing>"), value) << section << "/" << key;
  }
  // Setting the same values again changes nothing.
  IniLineEditor again(text);
  for (const auto& [section, key, value] : c.Settings) {
    again.Set(section, key, value);
  }
  EXPECT_EQ(again.Text(), text);
}

const std::vector<Setting> kModelAndCount = {
    {"Model", "DumpStr", "000013"}, {"Model", "ModelType", "19"}, {"Count", "Count", "3"}};

INSTANTIATE_TEST_SUITE_P(
    Texts, IniLineEditorCases,
    ::testing::Values(
        EditCase{"EmptyTextGetsSectionsSeparatedByBlankLines", "", kModelAndCount,
                 "[Model]\r\nDumpStr=000013\r\nModelType=19\r\n\r\n[Count]\r\nCount=3\r\n"},
        EditCase{"ForeignLinesStayByteForByte",
                 "; notes\n[Notes]\nWhere = Kyoto \nWhere=Osaka\njust words\r\n\r\n"
                 "[Model]\r\n  DumpStr = 000000\r\nMine=1\r\nDumpStr=FFFFFF\r\n",
                 kModelAndCount,
                 "; notes\n[Notes]\nWhere = Kyoto \nWhere=Osaka\njust words\r\n\r\n"
                 "[Model]\r\nDumpStr=000013\r\nMine=1\r\nModelType=19\r\n\r\n[Count]\r\n"
                 "Count=3\r\n"},
        EditCase{"MissingKeysFollowTheLastKeyNotTheCommentsOfTheNextSection",
                 "[Model]\nDumpStr=00\n\n; about counts\n[Count]\nCount=1\n", kModelAndCount,
                 "[Model]\nDumpStr=000013\r\nModelType=19\r\n\n; about counts\n[Count]\n"
                 "Count=3\r\n"},
        EditCase{"NamesCompareWithoutCase",
                 "[MODEL]\r\ndumpstr=00\r\n",
                 {{"Model", "DumpStr", "000013"}},
                 "[MODEL]\r\nDumpStr=000013\r\n"},
        EditCase{"LastLineWithoutLineEndGetsOne",
                 "[Notes]\r\nA=1",
                 {{"Count", "Count", "3"}},
                 "[Notes]\r\nA=1\r\n\r\n[Count]\r\nCount=3\r\n"},
        EditCase{"LoneCarriageReturnsEndLinesAsTheReaderSees",
                 "[Count]\rCount=9\rX=1\r",
                 {{"Count", "Count", "3"}},
                 "[Count]\rCount=3\r\nX=1\r"},
        // The reader looks for the name of a lone "[" on the next line; that pair is a header.
        EditCase{"HeaderSplitOverTwoLines",
                 "[Notes]\nA=1\n[\n  Count ]\nCount=7\n",
                 {{"Count", "Count", "3"}},
                 "[Notes]\nA=1\n[\n  Count ]\nCount=3\r\n"},
        // A lone "[" at the end would swallow a section written after it.
        EditCase{"DanglingBracketStaysLast",
                 "[Notes]\nA=1\n[ \n\n",
                 {{"Count", "Count", "3"}},
                 "[Notes]\nA=1\n\r\n[Count]\r\nCount=3\r\n[ \n\n"},
        // The reader stops at a NUL byte; what follows is kept, new lines go before it.
        EditCase{"TextAfterANulByteIsKeptButNotEdited",
                 "[Count]\nCount=1\nA=1\0[Count]\nCount=5\n"s,
                 {{"Count", "Count", "3"}, {"Model", "DumpStr", "000013"}},
                 "[Count]\nCount=3\r\nA=1\r\n\r\n[Model]\r\nDumpStr=000013\r\n"
                 "\0[Count]\nCount=5\n"s},
        // After "[" without "]" the reader files keys under a section no name reaches.
        EditCase{"KeysAfterABrokenHeaderAreNotTheSections",
                 "[Count]\nCount=1\n[broken\nCount=2\n",
                 {{"Count", "Count", "3"}},
                 "[Count]\nCount=3\r\n[broken\nCount=2\n"},
        EditCase{"SignatureStays",
                 "\xEF\xBB\xBF[Count]\r\nCount=1\r\n",
                 {{"Count", "Count", "3"}},
                 "\xEF\xBB\xBF[Count]\r\nCount=3\r\n"},
        // The reader merges repeated sections and keeps the last value of a key.
        EditCase{"RepeatedSectionsKeepOneKeyLine",
                 "[Count]\nNote=a\n[Model]\nX=1\n[Count]\nCount=1\nCount=2\n",
                 {{"Count", "Count", "3"}, {"Count", "DumpStr", "000003"}},
                 "[Count]\nNote=a\nDumpStr=000003\r\n[Model]\nX=1\n[Count]\nCount=3\r\n"}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.Name); });

TEST(IniLineEditor, RemoveDropsEveryLineOfTheKeyAndNothingElse) {
  IniLineEditor editor("\xEF\xBB\xBFTimeUTC=top\r\n[Download]\r\n; kept\r\ntimeutc=a\r\nOther=1\r\n"
                       "TimeUTC=b\r\n[Else]\r\nTimeUTC=c\r\n");
  editor.Remove("download", "TIMEUTC");
  editor.Remove("Missing", "Key");
  EXPECT_EQ(editor.Text(), "\xEF\xBB\xBFTimeUTC=top\r\n[Download]\r\n; kept\r\nOther=1\r\n"
                           "[Else]\r\nTimeUTC=c\r\n");
  IniFile ini;
  ini.LoadFromString(editor.Text());
  EXPECT_EQ(ini.ReadString("Download", "TimeUTC", "none"), "none");
  EXPECT_TRUE(ini.HasSection("Download"));
  EXPECT_FALSE(ini.HasSection("Missing"));
}

} // namespace
} // namespace tarnwick
