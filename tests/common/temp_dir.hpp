#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tarnwick::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    FPath = pattern;
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  /// Path of Name inside the folder, as text.
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }

 private:
  std::filesystem::path FPath;
};

} // namespace tarnwick::test
