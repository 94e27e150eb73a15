#include <gtest/gtest.h>

#include "Support.h"
#include "platform/win32/Win32Os.h"

namespace {

using testsupport::TempFolder;

// Wine keeps no security descriptors on files (it reads back one made up from
// the Unix owner and mode), so the protection itself shows only on Windows;
// what shows here is that the folder is made and passes the launcher's own
// check, and that what it rejects is rejected.
TEST(WorkFolder, ProtectedFolderIsMadeAndTrusted) {
  TempFolder temp;
  platform::win32::Win32Os os;
  const std::wstring work = temp / L"TOLVEX";
  ASSERT_TRUE(os.MakeProtectedDirectory(work));
  EXPECT_TRUE(os.IsTrustedDirectory(work));
  const std::wstring inside = work + L"\\x86";
  ASSERT_TRUE(::CreateDirectoryW(inside.c_str(), nullptr));
  EXPECT_TRUE(os.IsTrustedDirectory(inside));
  EXPECT_FALSE(os.MakeProtectedDirectory(work)) << "an existing folder is not made again";
}

TEST(WorkFolder, FilesAndMissingFoldersAreNotTrusted) {
  TempFolder temp;
  platform::win32::Win32Os os;
  testsupport::WriteAll(temp / L"file", "x");
  EXPECT_FALSE(os.IsTrustedDirectory(temp / L"file"));
  EXPECT_FALSE(os.IsTrustedDirectory(temp / L"missing"));
}

}  // namespace
