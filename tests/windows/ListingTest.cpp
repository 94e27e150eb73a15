#include <gtest/gtest.h>

#include "Support.h"
#include "app/ImageList.h"
#include "app/Unit1.h"
#include "platform/win32/Win32Os.h"

namespace {

using testsupport::TempFolder;

TEST(Listing, RealFolderGivesImageFilesInEnumerationOrder) {
  TempFolder folder;
  for (const wchar_t* name : {L"b.iso", L"A.ISO", L"hidden.iso", L"system.iso", L"a.iso.bak",
                              L"Игра.iso", L"notes.txt"}) {
    testsupport::WriteAll(folder / name, "x");
  }
  ::SetFileAttributesW((folder / L"hidden.iso").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesW((folder / L"system.iso").c_str(), FILE_ATTRIBUTE_SYSTEM);
  ::CreateDirectoryW((folder / L"c.iso").c_str(), nullptr);
  ::CreateDirectoryW((folder / L"sub").c_str(), nullptr);
  testsupport::WriteAll(folder / L"sub\\d.iso", "x");

  // The order is the file system's own: read it the plain way first.
  std::vector<std::wstring> expected;
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW((folder / L"*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = data.cFileName;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"a.iso.bak" &&
        name != L"notes.txt") {
      expected.push_back(name);
    }
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  ASSERT_EQ(expected.size(), 5u);

  platform::win32::Win32Os os;
  std::vector<std::wstring> images;
  EXPECT_FALSE(app::ListImages(os, folder.path(), images));
  EXPECT_EQ(images, expected);
}

TEST(Listing, MissingFolderGivesNothing) {
  platform::win32::Win32Os os;
  std::vector<std::wstring> images{L"stale"};
  EXPECT_FALSE(app::ListImages(os, L"C:\\no\\such\\folder", images));
  EXPECT_TRUE(images.empty());
}

TEST(Drives, TwoCharacterTextAnswersLikeTheRoot) {
  platform::win32::Win32Os os;
  EXPECT_EQ(os.DriveType(L"C:"), static_cast<unsigned>(DRIVE_FIXED));
  // The first letter with nothing mounted reads as "no root".
  const std::wstring free = app::FindEmptyDisk(os);
  ASSERT_FALSE(free.empty());
  EXPECT_EQ(::GetDriveTypeW((free + L"\\").c_str()), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

}  // namespace
