// The version record of tandro-sync.exe, read back as Windows reads it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/ProductInfo.h"
#include "common/Win32Text.h"

namespace tandro {
namespace {

// The build's own Linux path, which Wine reaches through drive Z:.
std::wstring programPath() {
  return widened(std::string("Z:") + TANDRO_SYNC_PATH);
}

std::wstring entry(const std::vector<char>& record, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\041104B0\\" + name;
  if (!VerQueryValueW(record.data(), path.c_str(), &value, &length) || length == 0) {
    return {};
  }
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(VersionResourceTest, TandroSyncCarriesTheJapaneseVersionRecord) {
  const std::wstring program = programPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  ASSERT_GT(size, 0u) << GetLastError();
  std::vector<char> record(size);
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, record.data()));
  EXPECT_EQ(entry(record, L"ProductName"), widened(kProductName));
  EXPECT_EQ(entry(record, L"LegalTrademarks"), L"Velmoro");
  EXPECT_EQ(entry(record, L"FileDescription"), L"ファイルの同期をとります");
  EXPECT_EQ(entry(record, L"FileVersion"), L"1.01.0001");
  EXPECT_EQ(entry(record, L"ProductVersion"), L"1.01.0001");
}

}  // namespace
}  // namespace tandro
