// A child for the tests of the test runner's sanitizer check: it gets a sanitizer to report a
// fault of the kind named by its argument, or only prints what such a report looks like, and
// then ends as the command-line tool ends on its own failures, with exit code 1.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void* volatile gKept = nullptr;

// Out of line, so that no register of the caller still holds the block when the leak check
// looks for it at exit.
__attribute__((noinline)) void Leak() {
  gKept = std::malloc(4096);
  std::memset(gKept, 1, 4096);
  gKept = nullptr;
}

} // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "leak") == 0) {
    Leak();
  } else if (std::strcmp(mode, "overflow") == 0) {
    char* volatile block = static_cast<char*>(std::malloc(8));
    std::printf("%d\n", block[8]);
    std::free(block);
  } else if (std::strcmp(mode, "undefined") == 0) {
    volatile int big = INT_MAX;
    std::printf("%d\n", big + 1);
  } else if (std::strcmp(mode, "report") == 0) {
    std::fputs("=================================================================\n"
               "==4242==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000018\n",
               stderr);
  } else if (std::strcmp(mode, "sanitizer-exit") == 0) {
    return 86;
  }
  return 1;
}
