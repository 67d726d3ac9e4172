// The failure record: every failure of the program travels upwards as one of these,
// gathering the labels of the procedures it passes in its source chain.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace tandro {

// Failure numbers: each stands for one kind of failure on every platform.
namespace failure_number {
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kDeviceIo = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kDiskNotReady = 71;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kDuplicateKey = 457;
// A profile value too long to write; it has no standard description, its failure carries one.
inline constexpr std::int32_t kValueTooLong = static_cast<std::int32_t>(0x80040000u);
}  // namespace failure_number

// The source of the program's own failures.
inline constexpr const char* kProgramSource = "Tandro";

class Failure : public std::exception {
 public:
  Failure(std::int32_t number, std::string source, std::string description);

  // A failure with the program's own source and the standard description of `number`.
  static Failure ofNumber(std::int32_t number, const std::string& detail = {});

  std::int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

  // Puts a procedure's label in front of the source chain.
  void prependSource(const std::string& label) { source_.insert(0, label); }

  // "number:description", the form the message boxes of the program show.
  std::string numberAndDescription() const;

  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
};

// The program's Japanese description of a failure number; empty for unknown numbers.
std::string standardDescription(std::int32_t number);

// Any exception as the failure record it is, or stands for: out of memory, or an internal
// error that carries the exception's text.
Failure asFailure(const std::exception& exception);

// Runs `body`; a failure leaving it gets `label` in front of its source and goes on.
template <typename Body>
decltype(auto) passingFailuresAs(const std::string& label, Body&& body) {
  try {
    return body();
  } catch (Failure& failure) {
    failure.prependSource(label);
    throw;
  }
}

}  // namespace tandro
