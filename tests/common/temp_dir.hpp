#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tarnwick::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// Path of Name inside the folder, as text.
  std::string File(const std::string& Name) const { return (path_ / Name).string(); }

 private:
  std::filesystem::path path_;
};

} // namespace tarnwick::test
