#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#ifdef _WIN32
#include <random>
#endif

namespace tarnwick::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    // No mkdtemp: a random name, made anew until it is one nobody has taken.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate =
          std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        path_ = candidate;
      }
    }
    if (path_.empty()) {
      std::abort();
    }
#else
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const {
    return path_;
  }
  /// Path of Name inside the folder, as text.
  std::string File(const std::string& Name) const {
    return (path_ / Name).string();
  }

 private:
  std::filesystem::path path_;
};

} // namespace tarnwick::test
