#include "support/ini_file.hpp"

#include "support/file_util.hpp"
#include "support/str_util.hpp"

// Debian's header holds the template bodies behind SI_IMPLEMENTATION; this file instantiates
// them, so nothing links against the ICU-based shared library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace tarnwick {

struct TIniFile::Impl {
  CSimpleIniA Ini{/*a_bIsUtf8=*/true, /*a_bMultiKey=*/false, /*a_bMultiLine=*/false};
  Impl() { Ini.SetSpaces(false); }
};

namespace {

// Collects SimpleIni's output, which ends lines with LF.
class StringWriter : public CSimpleIniA::OutputWriter {
 public:
  explicit StringWriter(std::string& out) : FOut(out) {}
  void Write(const char* buf) override { FOut += buf; }

 private:
  std::string& FOut;
};

// Status and settings files are a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxIniBytes = 16U << 20;

} // namespace

TIniFile::TIniFile() : FImpl(std::make_unique<Impl>()) {}
TIniFile::~TIniFile() = default;
TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;

void TIniFile::LoadFromString(std::string_view Text) {
  FImpl = std::make_unique<Impl>();
  FImpl->Ini.LoadData(Text.data(), Text.size());
}

TIniFile TIniFile::LoadFromFile(const std::string& FileName) {
  TIniFile ini;
  if (auto text = ReadWholeFile(FileName, kMaxIniBytes, {.RegularOnly = true})) {
    ini.LoadFromString(*text);
  }
  return ini;
}

std::string TIniFile::ReadString(std::string_view Section, std::string_view Key,
                                 std::string_view Default) const {
  const std::string section(Section);
  const std::string key(Key);
  const char* v = FImpl->Ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return v != nullptr ? std::string(v) : std::string(Default);
}

int32_t TIniFile::ReadInteger(std::string_view Section, std::string_view Key,
                              int32_t Default) const {
  const std::string text = ReadString(Section, Key, "");
  return StrToIntDef(text, Default);
}

bool TIniFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) const {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
  const std::string section(Section);
  const std::string key(Key);
  const std::string value(Value);
  FImpl->Ini.SetValue(section.c_str(), key.c_str(), value.c_str());
}

std::string TIniFile::SaveToString(bool CrLf) const {
  std::string lf;
  StringWriter writer(lf);
  FImpl->Ini.Save(writer, /*a_bAddSignature=*/false);
  // SimpleIni puts two blank lines before each further section; one is enough.
  std::string out;
  out.reserve(lf.size() + lf.size() / 8);
  for (size_t i = 0; i < lf.size(); ++i) {
    if (lf[i] == '\n' && i >= 2 && lf[i - 1] == '\n' && lf[i - 2] == '\n') {
      continue;
    }
    if (lf[i] == '\n' && CrLf) {
      out += '\r';
    }
    out += lf[i];
  }
  return out;
}

} // namespace tarnwick
