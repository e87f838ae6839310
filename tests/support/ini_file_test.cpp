#include "support/errors.hpp"
#include "support/ini_file.hpp"

#include "common/temp_dir.hpp"

#include <fstream>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(IniFile, ReadsTypedValuesWithDefaults) {
  IniFile ini;
  ini.LoadFromString("\xEF\xBB\xBF[Setting]\r\nDebug=1\r\nReadRetryCount=0x10\r\n"
                     "CommandRetryCount=abc\r\nHex=$1F\r\n\r\n[Debug]\r\nOutputLog = 0\r\n");
  EXPECT_TRUE(ini.ReadBool("Setting", "Debug", false));
  EXPECT_TRUE(ini.ReadBool("setting", "DEBUG", false)) << "names compare without case";
  EXPECT_EQ(ini.ReadInteger("Setting", "ReadRetryCount", 5), 16);
  EXPECT_EQ(ini.ReadInteger("Setting", "CommandRetryCount", 8), 8);
  EXPECT_EQ(ini.ReadInteger("Setting", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Setting", "Missing", 8), 8);
  EXPECT_FALSE(ini.ReadBool("Debug", "OutputLog", true));
  EXPECT_EQ(ini.ReadString("Nope", "Key", "dflt"), "dflt");
}

TEST(IniFile, UpdatesKeepOrderAndForeignKeys) {
  IniFile ini;
  ini.LoadFromString("[Mine]\nNote=keep me\n[Model]\nDumpStr=000000\nExtra=1\n");
  ini.WriteString("Model", "DumpStr", "000013");
  ini.WriteString("Model", "ModelType", "19");
  ini.WriteString("Count", "Count", "3");
  EXPECT_EQ(ini.SaveToString(false),
            "[Mine]\nNote=keep "
            "me\n\n[Model]\nDumpStr=000013\nExtra=1\nModelType=19\n\n[Count]\nCount=3\n");
  const std::string crlf = ini.SaveToString(true);
  EXPECT_EQ(crlf.find("\n\n"), std::string::npos);
  EXPECT_NE(crlf.find("[Mine]\r\nNote=keep me\r\n\r\n[Model]\r\n"), std::string::npos);
}

TEST(IniFile, FilesMissingOrUnreadable) {
  test::TempDir dir;
  EXPECT_EQ(IniFile::LoadFromFile(dir.File("absent.ini")).ReadString("A", "B", "none"), "none");
  EXPECT_THROW(IniFile::LoadFromFile(dir.Path().string()), FileError) << "a folder is no INI file";
  std::ofstream(dir.File("x.ini")) << "[A]\nB=7\n";
  EXPECT_EQ(IniFile::LoadFromFile(dir.File("x.ini")).ReadInteger("A", "B", 0), 7);
}

} // namespace
} // namespace tarnwick
