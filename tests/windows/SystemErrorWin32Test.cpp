#include <windows.h>

#include <gtest/gtest.h>

#include "common/SystemError.h"

namespace tandro {
namespace {

struct ErrorRow {
  const char* name;
  DWORD error;
  PathRole role;
  std::int32_t number;
};

class SystemErrorWin32Test : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(SystemErrorWin32Test, GivesTheNumberAndAppendsPathAndSystemText) {
  const auto& row = GetParam();
  const Failure failure = systemFailure(static_cast<int>(row.error), "E:\\資料\\a.txt", row.role);
  EXPECT_EQ(failure.number(), row.number);
  EXPECT_EQ(failure.source(), "Tandro");
  const std::string start = standardDescription(row.number) + " E:\\資料\\a.txt (";
  EXPECT_TRUE(failure.description().starts_with(start)) << failure.description();
  EXPECT_GT(failure.description().size(), start.size() + 1) << failure.description();
  EXPECT_TRUE(failure.description().ends_with(")")) << failure.description();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SystemErrorWin32Test,
    ::testing::Values(ErrorRow{"FileNotFound", ERROR_FILE_NOT_FOUND, PathRole::File, 53},
                      ErrorRow{"FolderNotFound", ERROR_FILE_NOT_FOUND, PathRole::Folder, 76},
                      ErrorRow{"PathNotFound", ERROR_PATH_NOT_FOUND, PathRole::Folder, 76},
                      ErrorRow{"FileInMissingFolder", ERROR_PATH_NOT_FOUND, PathRole::File, 53},
                      ErrorRow{"DiskFull", ERROR_DISK_FULL, PathRole::File, 61},
                      ErrorRow{"HandleDiskFull", ERROR_HANDLE_DISK_FULL, PathRole::File, 61},
                      ErrorRow{"AccessDenied", ERROR_ACCESS_DENIED, PathRole::File, 70},
                      ErrorRow{"SharingViolation", ERROR_SHARING_VIOLATION, PathRole::File, 70},
                      ErrorRow{"LockViolation", ERROR_LOCK_VIOLATION, PathRole::File, 70},
                      ErrorRow{"WriteProtect", ERROR_WRITE_PROTECT, PathRole::Folder, 70},
                      ErrorRow{"NotReady", ERROR_NOT_READY, PathRole::Folder, 71},
                      ErrorRow{"AlreadyExists", ERROR_ALREADY_EXISTS, PathRole::Folder, 75},
                      ErrorRow{"FileExists", ERROR_FILE_EXISTS, PathRole::Folder, 75},
                      ErrorRow{"Crc", ERROR_CRC, PathRole::File, 57},
                      ErrorRow{"ReadFault", ERROR_READ_FAULT, PathRole::File, 57},
                      ErrorRow{"IoDevice", ERROR_IO_DEVICE, PathRole::File, 57},
                      ErrorRow{"InvalidName", ERROR_INVALID_NAME, PathRole::File, 75}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tandro
