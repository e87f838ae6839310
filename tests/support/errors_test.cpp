#include "support/errors.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// The program's entry point and the table presenters catch Error alone, so every error the
// program raises must arrive there with its message intact.
TEST(ErrorsTest, EveryErrorReachesACatchOfTheBase) {
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] { throw ConvertError("'x' is not a valid integer value"); },
       "'x' is not a valid integer value"},
      {[] { throw AssertionError("Invalid Month 13 in DD"); }, "Invalid Month 13 in DD"},
      {[] { throw ListError("List index out of bounds (3)"); }, "List index out of bounds (3)"},
      {[] { throw FileError::Open("a.dat", ENOENT); },
       "Cannot open file \"a.dat\". " + std::string(std::strerror(ENOENT))},
      {[] { throw EIGotUError("Read Error !!"); }, "Read Error !!"},
      {[] { throw EIGotUInitializeError("Initialize Error ! Please Retry."); },
       "Initialize Error ! Please Retry."},
      {[] { throw ComPortError("Unable to read from com port", EIO, "gone"); },
       "Unable to read from com port (Error: 5): gone"},
      {[] { throw InvalidCastError("not a serial port"); }, "not a serial port"},
  };
  for (const auto& [thrower, message] : cases) {
    try {
      thrower();
      ADD_FAILURE() << "nothing raised for " << message;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
  // The download's caller tells the failed switch from other logger errors.
  EXPECT_THROW(throw EIGotUInitializeError("x"), EIGotUError);
}

// The serial port's error gives the system's reason itself, so no caller has to look the code
// up (and on Windows could not, since its codes are not errno values).
TEST(ErrorsTest, ComPortErrorCarriesCodeAndReason) {
  const ComPortError fromErrno("Unable to open com port", ENOENT);
  EXPECT_EQ(fromErrno.ErrorCode(), ENOENT);
  EXPECT_EQ(fromErrno.what(), "Unable to open com port (Error: " + std::to_string(ENOENT) +
                                  "): " + std::strerror(ENOENT));

  const ComPortError given("Unable to write to com port", 1167, "The device is not connected.");
  EXPECT_EQ(given.ErrorCode(), 1167);
  EXPECT_STREQ(given.what(), "Unable to write to com port (Error: 1167): The device is not "
                             "connected.");
}

TEST(ErrorsTest, FileErrorsNameTheFileAndTheReason) {
  const std::string reason = std::strerror(ENOSPC);
  const std::vector<std::pair<FileError, std::string>> cases = {
      {FileError::Open("x/trip.dat", ENOSPC), "Cannot open file \"x/trip.dat\". " + reason},
      {FileError::Create("x/trip.dat", ENOSPC), "Cannot create file \"x/trip.dat\". " + reason},
      {FileError::Read("x/trip.dat", ENOSPC), "Cannot read file \"x/trip.dat\". " + reason},
      {FileError::Write("x/trip.dat", ENOSPC), "Cannot write file \"x/trip.dat\". " + reason},
  };
  for (const auto& [error, message] : cases) {
    EXPECT_EQ(error.what(), message);
    EXPECT_EQ(error.FileName(), "x/trip.dat");
  }
}

} // namespace
} // namespace tarnwick
