#include "support/errors.hpp"

#include "support/os_files.hpp"

#include <cstring>

namespace tarnwick {

namespace {
std::string Describe(const char* verb, const std::string& fileName, int errnum) {
  return std::string("Cannot ") + verb + " file \"" + fileName + "\". " + std::strerror(errnum);
}
std::string Describe(const char* verb, const std::string& fileName, const std::error_code& code) {
  return std::string("Cannot ") + verb + " file \"" + fileName + "\". " + SystemErrorText(code);
}
} // namespace

FileError FileError::Open(const std::string& fileName, int errnum) {
  return {fileName, Describe("open", fileName, errnum)};
}
FileError FileError::Create(const std::string& fileName, int errnum) {
  return {fileName, Describe("create", fileName, errnum)};
}
FileError FileError::Read(const std::string& fileName, int errnum) {
  return {fileName, Describe("read", fileName, errnum)};
}
FileError FileError::Write(const std::string& fileName, int errnum) {
  return {fileName, Describe("write", fileName, errnum)};
}

FileError FileError::Open(const std::string& fileName, const std::error_code& code) {
  return {fileName, Describe("open", fileName, code)};
}
FileError FileError::Create(const std::string& fileName, const std::error_code& code) {
  return {fileName, Describe("create", fileName, code)};
}
FileError FileError::Read(const std::string& fileName, const std::error_code& code) {
  return {fileName, Describe("read", fileName, code)};
}
FileError FileError::Write(const std::string& fileName, const std::error_code& code) {
  return {fileName, Describe("write", fileName, code)};
}

ComPortError::ComPortError(const std::string& What, int ErrorCode, const std::string& Reason)
    : Error(What + " (Error: " + std::to_string(ErrorCode) + "): " + Reason),
      errorCode_(ErrorCode) {}

ComPortError::ComPortError(const std::string& What, int ErrorCode)
    : ComPortError(What, ErrorCode, std::strerror(ErrorCode)) {}

} // namespace tarnwick
