// A photo's capture-time texts (DateTimeOriginal, SubSecTimeOriginal, OffsetTimeOriginal) as a
// file may hold them: whatever parses stays in range and formats back to the text it came from.
#include "photos/photo_time.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "photo_time_fuzzer: %s\n", What);
    std::abort();
  }
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace tarnwick;
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  if (const auto ms = ParseExifDateTime(text)) {
    std::string back = FormatPhotoTime(*ms, false);
    back[4] = ':';
    back[7] = ':';
    Check(back == TrimEnd(text), "a date-time does not format back to its text");
    Check(*ms % 1000 == 0, "a date-time has milliseconds");
  }
  if (const auto ms = ParseExifSubSec(text)) {
    Check(*ms >= 0 && *ms <= 999, "sub-seconds out of range");
  }
  if (const auto minutes = ParseExifOffset(text)) {
    Check(*minutes >= -840 && *minutes <= 840, "offset out of range");
  }
  // The three texts of one photo, split at '|'.
  const size_t first = text.find('|');
  const size_t second = first == std::string_view::npos ? first : text.find('|', first + 1);
  const std::string_view dateTime = text.substr(0, first);
  const std::string_view subSec = first == std::string_view::npos
                                      ? std::string_view()
                                      : text.substr(first + 1, second - first - 1);
  const std::string_view offset =
      second == std::string_view::npos ? std::string_view() : text.substr(second + 1);
  if (const auto t = MakeCaptureTime(dateTime, subSec, offset)) {
    Check(t->HasSubSec == ParseExifSubSec(subSec).has_value(), "sub-seconds lost");
    Check(t->OffsetMinutes == ParseExifOffset(offset), "offset lost");
    Check(t->Text.compare(0, 19, FormatPhotoTime(*ParseExifDateTime(dateTime), false)) == 0,
          "the report text is not the camera's time");
    Check(!t->OffsetMinutes || *t->UtcMs() == t->LocalMs - int64_t{*t->OffsetMinutes} * 60000,
          "UTC is not the camera's time less its offset");
  }
  return 0;
}
