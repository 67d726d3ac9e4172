#include "common/SystemError.h"

#include <cerrno>
#include <cstring>

namespace tandro {

namespace {

std::int32_t failureNumberOf(int errorNumber, PathRole role) {
  namespace n = failure_number;
  switch (errorNumber) {
    case ENOENT:
      return role == PathRole::Folder ? n::kPathNotFound : n::kFileNotFound;
    case ENOTDIR:
      return n::kPathNotFound;
    case ENOSPC:
    case EDQUOT:
      return n::kDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return n::kPermissionDenied;
    case EIO:
      return n::kDeviceIo;
#ifdef ENOMEDIUM
    case ENOMEDIUM:
      return n::kDiskNotReady;
#endif
    case ENODEV:
    case ENXIO:
      return n::kDiskNotReady;
    default:
      return n::kPathFileAccess;
  }
}

std::string errnoName(int errorNumber) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
  if (const char* name = strerrorname_np(errorNumber)) {
    return name;
  }
#endif
  return std::strerror(errorNumber);
}

}  // namespace

Failure systemFailure(int errorNumber, const std::string& path, PathRole role) {
  return Failure::ofNumber(failureNumberOf(errorNumber, role),
                           path + " (" + errnoName(errorNumber) + ")");
}

}  // namespace tandro
