#include "support/errors.hpp"

#include <cstring>

namespace tarnwick {

namespace {
std::string Describe(const char* verb, const std::string& fileName, int errnum) {
  return std::string("Cannot ") + verb + " file \"" + fileName + "\". " + std::strerror(errnum);
}
} // namespace

EFileError EFileError::Open(const std::string& fileName, int errnum) {
  return {fileName, Describe("open", fileName, errnum)};
}
EFileError EFileError::Create(const std::string& fileName, int errnum) {
  return {fileName, Describe("create", fileName, errnum)};
}
EFileError EFileError::Read(const std::string& fileName, int errnum) {
  return {fileName, Describe("read", fileName, errnum)};
}
EFileError EFileError::Write(const std::string& fileName, int errnum) {
  return {fileName, Describe("write", fileName, errnum)};
}

} // namespace tarnwick
