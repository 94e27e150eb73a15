#include <gtest/gtest.h>

#include "Support.h"
#include "payload/Payload.h"
#include "platform/win32/Win32Os.h"

namespace {

using testsupport::FromBuild;
using testsupport::ReadAll;
using testsupport::TempFolder;

// The built program's resources, read the way the program reads its own.
struct BuiltProgram : testing::Test {
  static void SetUpTestSuite() {
    module = ::LoadLibraryExW(FromBuild(TOLVEX_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  void SetUp() override { ASSERT_NE(module, nullptr) << "cannot load TOLVEX.exe"; }

  // Where each item came from in the build.
  static std::wstring Source(const std::wstring& target) {
    const std::wstring name = target.substr(target.find_last_of(L'\\') + 1);
    if (target.find(L"\\x86\\") != std::wstring::npos) return FromBuild(PAYLOAD_X86) + L"\\" + name;
    if (target.find(L"\\x64\\") != std::wstring::npos) return FromBuild(PAYLOAD_X64) + L"\\" + name;
    return FromBuild(PAYLOAD_SCRIPTS) + L"\\" + name;
  }
  void MakeFolders() {
    for (const wchar_t* sub : {L"\\x86", L"\\x64"}) {
      payload::ForceDirectories(os, temp.path() + L"\\KORVEL\\TOLVEX" + sub);
    }
  }
  std::wstring Target(const wchar_t* relative) { return temp.path() + relative; }
  std::wstring ErrorOfWrite() {
    const auto failure = payload::WritePayload(os, temp.path());
    return failure ? failure->message : L"<no error>";
  }
  static FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
  }
  static void AgeFile(const std::wstring& path) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME old{0, 0x01D00000};
    ::SetFileTime(file, nullptr, nullptr, &old);
    ::CloseHandle(file);
  }

  static inline HMODULE module = nullptr;
  platform::win32::Win32Os os{module};
  TempFolder temp;
};

TEST_F(BuiltProgram, ItemsAreNamedRtRcdataInUsEnglish) {
  for (const auto& item : payload::kItems) {
    EXPECT_NE(::FindResourceExW(module, L"RT_RCDATA", item.resourceName,
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr)
        << item.resourceName;
    EXPECT_EQ(::FindResourceW(module, item.resourceName, RT_RCDATA), nullptr)
        << item.resourceName << " must not be of the numeric raw-data type";
  }
}

TEST_F(BuiltProgram, EveryItemComesOutByteForByte) {
  MakeFolders();
  ASSERT_EQ(ErrorOfWrite(), L"<no error>");
  for (const auto& item : payload::kItems) {
    const std::wstring target = Target(item.target);
    const auto written = ReadAll(target);
    EXPECT_FALSE(written.empty()) << item.resourceName;
    EXPECT_EQ(written, ReadAll(Source(target))) << item.resourceName;
  }
  EXPECT_EQ(ReadAll(Target(L"\\KORVEL\\TOLVEX\\install.cmd")).size(), 369u);
  EXPECT_EQ(ReadAll(Target(L"\\KORVEL\\TOLVEX\\uninstall.cmd")).size(), 227u);
}

TEST_F(BuiltProgram, IntactFilesStayAndOthersAreReplaced) {
  MakeFolders();
  ASSERT_EQ(ErrorOfWrite(), L"<no error>");
  for (const auto& item : payload::kItems) AgeFile(Target(item.target));
  const std::wstring changed = Target(L"\\KORVEL\\TOLVEX\\x86\\imdisk.exe");
  const std::wstring emptied = Target(L"\\KORVEL\\TOLVEX\\x64\\zDrvInst.exe");
  testsupport::WriteAll(changed, "MZ planted");
  testsupport::WriteAll(emptied, "");

  ASSERT_EQ(ErrorOfWrite(), L"<no error>");
  for (const auto& item : payload::kItems) {
    const std::wstring target = Target(item.target);
    EXPECT_EQ(ReadAll(target), ReadAll(Source(target))) << item.resourceName;
    const bool rewritten = WriteTime(target).dwHighDateTime != 0x01D00000;
    EXPECT_EQ(rewritten, target == changed || target == emptied) << item.resourceName;
  }
}

TEST_F(BuiltProgram, DirectoryInTheWayIsReportedWithTheSystemsWords) {
  MakeFolders();
  const std::wstring blocked = Target(L"\\KORVEL\\TOLVEX\\x86\\imdisk.cpl");
  ::CreateDirectoryW(blocked.c_str(), nullptr);
  const std::wstring reason =
      payload::TrimSystemMessage(platform::win32::SystemMessage(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ErrorOfWrite(), L"Cannot create file \"" + blocked + L"\". " + reason);
  EXPECT_TRUE(ReadAll(Target(L"\\KORVEL\\TOLVEX\\x86\\imdisk.exe")).empty()) << "stopped there";
}

TEST_F(BuiltProgram, ForeignFileThatCannotBeRewrittenStopsStartUp) {
  MakeFolders();
  const std::wstring planted = Target(L"\\KORVEL\\TOLVEX\\install.cmd");
  testsupport::WriteAll(planted, "echo not ours");
  // Held open by someone else, it cannot be replaced.
  const HANDLE holder =
      ::CreateFileW(planted.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::wstring reason =
      payload::TrimSystemMessage(platform::win32::SystemMessage(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ErrorOfWrite(), L"Cannot create file \"" + planted + L"\". " + reason);
  ::CloseHandle(holder);
  EXPECT_EQ(ReadAll(planted), (std::vector<std::uint8_t>{'e', 'c', 'h', 'o', ' ', 'n', 'o', 't',
                                                         ' ', 'o', 'u', 'r', 's'}));
}

TEST_F(BuiltProgram, MissingFolderShowsAsCannotCreateFile) {
  const std::wstring reason =
      payload::TrimSystemMessage(platform::win32::SystemMessage(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ErrorOfWrite(),
            L"Cannot create file \"" + Target(L"\\KORVEL\\TOLVEX\\install.cmd") + L"\". " + reason);
}

TEST_F(BuiltProgram, CarriesItsVersionRecordAndManifest) {
  const HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                         ::SizeofResource(module, manifest));
  for (const char* needle :
       {"requireAdministrator", "uiAccess=\"false\"", "PerMonitorV2", "true/pm",
        "Microsoft.Windows.Common-Controls", "6.0.0.0", "e2011457-1546-43c5-a5fe-008deee3d3f0",
        "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }

  const std::wstring exe = FromBuild(TOLVEX_EXE);
  DWORD ignored = 0;
  std::vector<std::uint8_t> block(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(
      ::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  const auto value = [&](const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    return ::VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length)
               ? std::wstring(text)
               : std::wstring(L"<none>");
  };
  EXPECT_EQ(value(L"FileDescription"), L"Zarvent");
  EXPECT_EQ(value(L"ProductName"), L"Zarvent");
  EXPECT_EQ(value(L"InternalName"), L"TOLVEX");
  EXPECT_EQ(value(L"OriginalFilename"), L"TOLVEX");
  EXPECT_EQ(value(L"FileVersion"), L"1.0.0.0");
}

}  // namespace
