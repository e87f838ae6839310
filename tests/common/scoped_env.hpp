#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tarnwick::test {

/// Sets (or, with no value, removes) an environment variable of the test process until the
/// object goes, then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(std::string Name, const std::optional<std::string>& Value) : name_(std::move(Name)) {
    if (const char* old = std::getenv(name_.c_str())) {
      old_ = old;
    }
    Set(Value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) const {
#ifdef _WIN32
    // An empty value removes the variable on Windows.
    _putenv_s(name_.c_str(), value ? value->c_str() : "");
#else
    if (value) {
      setenv(name_.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }

  std::string name_;
  std::optional<std::string> old_;
};

} // namespace tarnwick::test
