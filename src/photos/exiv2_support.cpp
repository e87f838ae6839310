#include "photos/exiv2_support.hpp"

#include "support/debug_log.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <exiv2/exiv2.hpp>

#include <exception>
#include <mutex>
#include <new>

namespace tarnwick {

namespace {

std::recursive_mutex gXmpToolkit;

void LockXmpToolkit(void* Data, bool Lock) {
  auto* mutex = static_cast<std::recursive_mutex*>(Data);
  if (Lock) {
    mutex->lock();
  } else {
    mutex->unlock();
  }
}

// exiv2 reports what it finds odd in a file; the file is outside input, so its words may
// carry control bytes.
void ForwardExiv2Message(int Level, const char* Text) {
  if (Text == nullptr) {
    return;
  }
  std::string_view text(Text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  static constexpr const char* kLevels[] = {"debug", "info", "warning", "error"};
  const char* level = Level >= 0 && Level < 4 ? kLevels[Level] : "message";
  OutputDebugText(std::string("exiv2 ") + level + ": " + EscapeControls(text));
}

} // namespace

void InitExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setHandler(ForwardExiv2Message);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    if (!Exiv2::XmpParser::initialize(LockXmpToolkit, &gXmpToolkit)) {
      OutputDebugText("exiv2: the XMP toolkit did not initialise");
    }
  });
}

std::string CurrentErrorText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& e) {
    return EscapeControls(e.what());
  } catch (...) {
    return "an unknown error";
  }
}

void RethrowAsPhotoError(const std::string& File, const char* Doing) {
  try {
    throw;
  } catch (const PhotoError&) {
    throw;
  } catch (const FileError& e) {
    throw PhotoError(File, e.what());
  } catch (...) {
    throw PhotoError(File, std::string("Cannot ") + Doing + " photo \"" + File +
                               "\": " + CurrentErrorText());
  }
}

} // namespace tarnwick
