#include "common/Failure.h"

#include <new>

namespace tandro {

Failure::Failure(std::int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

Failure Failure::ofNumber(std::int32_t number, const std::string& detail) {
  std::string description = standardDescription(number);
  if (!detail.empty()) {
    description += (description.empty() ? "" : " ") + detail;
  }
  return Failure(number, kProgramSource, description);
}

std::string Failure::numberAndDescription() const {
  return std::to_string(number_) + ":" + description_;
}

Failure asFailure(const std::exception& exception) {
  if (const auto* failure = dynamic_cast<const Failure*>(&exception)) {
    return *failure;
  }
  if (dynamic_cast<const std::bad_alloc*>(&exception) != nullptr) {
    return Failure::ofNumber(failure_number::kOutOfMemory);
  }
  return Failure::ofNumber(failure_number::kInternalError, exception.what());
}

std::string standardDescription(std::int32_t number) {
  namespace n = failure_number;
  switch (number) {
    case n::kOutOfMemory:
      return "メモリが不足しています。";
    case n::kInternalError:
      return "内部エラーです。";
    case n::kTypeMismatch:
      return "型が一致しません。";
    case n::kFileNotFound:
      return "ファイルが見つかりません。";
    case n::kDeviceIo:
      return "デバイス I/O エラーです。";
    case n::kDiskFull:
      return "ディスクの空き容量が不足しています。";
    case n::kPermissionDenied:
      return "書き込みできません。";
    case n::kDiskNotReady:
      return "ディスクが準備されていません。";
    case n::kPathFileAccess:
      return "パス名が無効です。";
    case n::kPathNotFound:
      return "パスが見つかりません。";
    case n::kDuplicateKey:
      return "このキーは既にこのコレクションの要素に割り当てられています。";
    default:
      return {};
  }
}

}  // namespace tandro
