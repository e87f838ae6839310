#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

/// Root of every error the project raises; carries the user-facing message.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A text that does not convert (a number, a date or a time).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

/// A value outside the range its field allows; the message begins with what was wrong.
class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};

/// An index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

/// A file that could not be opened, created, read or written; names the file.
class EFileError : public Exception {
 public:
  EFileError(std::string fileName, const std::string& message)
      : Exception(message), FFileName(std::move(fileName)) {}
  /// The file the error is about.
  const std::string& FileName() const { return FFileName; }

  /// "Cannot open file "NAME". REASON" with the system's text for errnum.
  static EFileError Open(const std::string& fileName, int errnum);
  /// "Cannot create file "NAME". REASON".
  static EFileError Create(const std::string& fileName, int errnum);
  /// "Cannot read file "NAME". REASON".
  static EFileError Read(const std::string& fileName, int errnum);
  /// "Cannot write file "NAME". REASON".
  static EFileError Write(const std::string& fileName, int errnum);

 private:
  std::string FFileName;
};

/// The version information of a program file could not be read.
class EVerInfo : public Exception {
 public:
  using Exception::Exception;
};

/// Base of the logger library's own errors.
class EIGotUError : public Exception {
 public:
  using Exception::Exception;
};

/// The logger could not be switched into its configuration mode.
class EIGotUInitializeError : public EIGotUError {
 public:
  using EIGotUError::EIGotUError;
};

} // namespace tarnwick
