#include "common/ci.hpp"

#include <cstdlib>
#include <string_view>

namespace tarnwick::test {

bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

} // namespace tarnwick::test
