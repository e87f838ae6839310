#include "logger/status_data.hpp"

namespace tarnwick {

std::string RModelResult::ModelName() const {
  switch (ModelType()) {
  case 0x13:
    return "GT-100";
  case 0x14:
    return "GT-200";
  case 0x15:
    return "GT-120";
  case kModelTypeGT800:
    return "GT-800 or GT-900";
  default:
    return {};
  }
}

} // namespace tarnwick
