// Program files, and version blocks on their own, through the version-information reader:
// every property is read, and what it returns must look as the reader promises.
#include "support/errors.hpp"
#include "support/ver_info.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using tarnwick::EVerInfo;
using tarnwick::TVerInfo;

bool IsHex4(const std::string& s) {
  return s.size() == 4 && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Well-formed UTF-8 without blanks or control characters at either end.
bool IsTrimmedUtf8(const std::string& s) {
  if (!s.empty() && (static_cast<unsigned char>(s.front()) <= ' ' ||
                     static_cast<unsigned char>(s.back()) <= ' ')) {
    return false;
  }
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) {
      return false;
    }
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += n;
  }
  return true;
}

void ReadEverything(const TVerInfo& info) {
  if (!IsHex4(info.LocaleId()) || !IsHex4(info.CodePage())) {
    __builtin_trap();
  }
  for (auto getter :
       {&TVerInfo::CompanyName, &TVerInfo::FileDescription, &TVerInfo::FileVersion,
        &TVerInfo::InternalName, &TVerInfo::LegalCopyright, &TVerInfo::LegalTrademarks,
        &TVerInfo::OriginalFilename, &TVerInfo::ProductName, &TVerInfo::ProductVersion,
        &TVerInfo::Comments, &TVerInfo::PrivateBuildComments, &TVerInfo::SpecialBuildComments}) {
    try {
      if (!IsTrimmedUtf8((info.*getter)())) {
        __builtin_trap();
      }
    } catch (const EVerInfo&) {
    }
  }
  for (auto flag : {&TVerInfo::DebugBuild, &TVerInfo::PreRelease, &TVerInfo::PrivateBuild,
                    &TVerInfo::SpecialBuild, &TVerInfo::Dll}) {
    try {
      (info.*flag)();
    } catch (const EVerInfo&) {
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    ReadEverything(TVerInfo::FromFileImage({data, size}));
  } catch (const EVerInfo&) {
  }
  try {
    ReadEverything(TVerInfo::FromVersionBlock(std::vector<uint8_t>(data, data + size)));
  } catch (const EVerInfo&) {
  }
  return 0;
}
