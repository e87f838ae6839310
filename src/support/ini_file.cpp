#include "support/ini_file.hpp"

#include "support/file_util.hpp"
#include "support/str_util.hpp"

// Debian's header holds the template bodies behind SI_IMPLEMENTATION; this file instantiates
// them, so nothing links against the ICU-based shared library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace tarnwick {

struct IniFile::Impl {
  CSimpleIniA Ini{/*a_bIsUtf8=*/true, /*a_bMultiKey=*/false, /*a_bMultiLine=*/false};
  Impl() { Ini.SetSpaces(false); }
};

namespace {

// Collects SimpleIni's output, which ends lines with LF.
class StringWriter : public CSimpleIniA::OutputWriter {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void Write(const char* buf) override { out_ += buf; }

 private:
  std::string& out_;
};

// Status and settings files are a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxIniBytes = 16U << 20;

} // namespace

IniFile::IniFile() : impl_(std::make_unique<Impl>()) {}
IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

void IniFile::LoadFromString(std::string_view Text) {
  impl_ = std::make_unique<Impl>();
  impl_->Ini.LoadData(Text.data(), Text.size());
}

IniFile IniFile::LoadFromFile(const std::string& FileName) {
  IniFile ini;
  if (auto text = ReadWholeFile(FileName, kMaxIniBytes, {.RegularOnly = true})) {
    ini.LoadFromString(*text);
  }
  return ini;
}

bool IniFile::HasSection(std::string_view Section) const {
  const std::string section(Section);
  return impl_->Ini.GetSection(section.c_str()) != nullptr;
}

std::string IniFile::ReadString(std::string_view Section, std::string_view Key,
                                std::string_view Default) const {
  const std::string section(Section);
  const std::string key(Key);
  const char* v = impl_->Ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return v != nullptr ? std::string(v) : std::string(Default);
}

int32_t IniFile::ReadInteger(std::string_view Section, std::string_view Key,
                             int32_t Default) const {
  const std::string text = ReadString(Section, Key, "");
  return StrToIntDef(text, Default);
}

bool IniFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) const {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
  const std::string section(Section);
  const std::string key(Key);
  const std::string value(Value);
  impl_->Ini.SetValue(section.c_str(), key.c_str(), value.c_str());
}

std::string IniFile::SaveToString(bool CrLf) const {
  std::string saved;
  StringWriter writer(saved);
  impl_->Ini.Save(writer, /*a_bAddSignature=*/false);
  // SimpleIni ends lines with CR LF when built for Windows; the caller chooses instead.
  std::string lf;
  lf.reserve(saved.size());
  for (size_t i = 0; i < saved.size(); ++i) {
    if (saved[i] != '\r' || i + 1 == saved.size() || saved[i + 1] != '\n') {
      lf += saved[i];
    }
  }
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
