#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace tarnwick {

// Every error the program raises, in one place, so that a caller can see what it may catch.

/// Root of every error the project raises; carries the user-facing message.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A text that does not convert (a number, a date or a time).
class ConvertError : public Error {
 public:
  using Error::Error;
};

/// A value outside the range its field allows; the message begins with what was wrong.
class AssertionError : public Error {
 public:
  using Error::Error;
};

/// An index outside a list.
class ListError : public Error {
 public:
  using Error::Error;
};

/// A file that could not be opened, created, read or written; names the file.
class FileError : public Error {
 public:
  FileError(std::string fileName, const std::string& message)
      : Error(message), fileName_(std::move(fileName)) {}
  /// The file the error is about.
  const std::string& FileName() const { return fileName_; }

  /// "Cannot open file "NAME". REASON" with the system's text for errnum.
  static FileError Open(const std::string& fileName, int errnum);
  /// "Cannot create file "NAME". REASON".
  static FileError Create(const std::string& fileName, int errnum);
  /// "Cannot read file "NAME". REASON".
  static FileError Read(const std::string& fileName, int errnum);
  /// "Cannot write file "NAME". REASON".
  static FileError Write(const std::string& fileName, int errnum);
  /// The same with the system's text for a code the operating-system helpers returned.
  static FileError Open(const std::string& fileName, const std::error_code& code);
  static FileError Create(const std::string& fileName, const std::error_code& code);
  static FileError Read(const std::string& fileName, const std::error_code& code);
  static FileError Write(const std::string& fileName, const std::error_code& code);

 private:
  std::string fileName_;
};

/// A photo whose metadata could not be read or written; names the file. The photo is left as
/// it was.
class PhotoError : public FileError {
 public:
  using FileError::FileError;
};

/// The version information of a program file could not be read.
class EVerInfo : public Error {
 public:
  using Error::Error;
};

/// Base of the logger library's own errors.
class EIGotUError : public Error {
 public:
  using Error::Error;
};

/// The logger could not be switched into its configuration mode.
class EIGotUInitializeError : public EIGotUError {
 public:
  using EIGotUError::EIGotUError;
};

/// A failure of the serial port: "Unable to open com port (Error: 2): No such file or
/// directory", with the system's error code and its text for it.
class ComPortError : public Error {
 public:
  /// The message What + " (Error: " + ErrorCode + "): " + Reason.
  ComPortError(const std::string& What, int ErrorCode, const std::string& Reason);
  /// The same with the system's text for the errno value ErrorCode as Reason.
  ComPortError(const std::string& What, int ErrorCode);
  /// The system's error code (errno, or GetLastError on Windows).
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

/// An object of the wrong kind was handed to an operation (a programming error).
class InvalidCastError : public Error {
 public:
  using Error::Error;
};

} // namespace tarnwick
