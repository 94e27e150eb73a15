#include <gtest/gtest.h>

#include "launch/Launch.h"
#include "platform/fake/FakeOs.h"

namespace {

using platform::FakeOs;

TEST(ProgramFolder, DirectoryPartWithRootKeepingItsBackslash) {
  EXPECT_EQ(launch::ProgramFolder(L"C:\\Games\\TOLVEX.exe"), L"C:\\Games");
  EXPECT_EQ(launch::ProgramFolder(L"E:\\TOLVEX.exe"), L"E:\\");
  EXPECT_EQ(launch::ProgramFolderWithSlash(L"C:\\Games\\TOLVEX.exe"), L"C:\\Games\\");
  EXPECT_EQ(launch::ProgramFolderWithSlash(L"E:\\TOLVEX.exe"), L"E:\\");
  EXPECT_EQ(launch::ProgramFolder(L"\\\\srv\\share\\TOLVEX.exe"), L"\\\\srv\\share");
}

TEST(LocateProgram, TriesTheEightPlacesInOrder) {
  FakeOs os;
  os.environment[L"SystemDrive"] = L"C:";
  EXPECT_FALSE(launch::LocateProgram(os, L"nothing"));
  EXPECT_EQ(os.probes, (std::vector<std::wstring>{
                           L"C:\\Games\\nothing",
                           L"C:\\Windows\\nothing",
                           L"C:\\Windows\\System32\\nothing",
                           L"C:\\Games\\nothing.exe",
                           L"C:\\Windows\\nothing.exe",
                           L"C:\\Windows\\System32\\nothing.exe",
                           L"nothing",
                           L"nothing.exe",
                       }));
}

TEST(LocateProgram, DriveRootDoublesTheBackslash) {
  FakeOs os;
  os.moduleFileName = L"E:\\TOLVEX.exe";
  os.AddFile(L"E:\\\\cmd.exe");  // the file system reads the two as one
  EXPECT_TRUE(launch::LocateProgram(os, L"cmd.exe"));
  EXPECT_EQ(os.probes.front(), L"E:\\\\cmd.exe");
}

TEST(LocateProgram, StopsAtTheFirstHitAndIgnoresDirectories) {
  FakeOs os;
  os.environment[L"SystemDrive"] = L"C:";
  os.AddFolder(L"C:\\Games\\cmd.exe");
  os.AddFile(L"C:\\Windows\\System32\\cmd.exe");
  EXPECT_TRUE(launch::LocateProgram(os, L"cmd.exe"));
  EXPECT_EQ(os.probes.size(), 3u);
}

TEST(LocateProgram, FullPathFoundAsIs) {
  FakeOs os;
  os.AddFile(L"D:\\Tools\\run.exe");
  EXPECT_TRUE(launch::LocateProgram(os, L"D:\\Tools\\run.exe"));
  EXPECT_EQ(os.probes.size(), 7u);
}

TEST(ShellRequest, FieldsAsTheShellGetsThem) {
  const auto r = launch::MakeShellRequest(0x1234, L"cmd.exe", L"/c x", L"C:\\W", 1);
  EXPECT_EQ(r.cbSize, 60u);
  EXPECT_EQ(r.fMask, 0x440u);
  EXPECT_EQ(r.hwnd, 0x1234u);
  EXPECT_EQ(r.lpVerb, L"open");
  EXPECT_EQ(r.lpFile, L"cmd.exe");
  EXPECT_EQ(r.lpParameters, L"/c x");
  EXPECT_EQ(r.lpDirectory, L"C:\\W");
  EXPECT_EQ(r.nShow, 5);

  const auto empty = launch::MakeShellRequest(0x1234, L"a.exe", L"", L"", 0);
  EXPECT_EQ(empty.lpParameters, L"") << "parameters are never null";
  EXPECT_FALSE(empty.lpDirectory.has_value()) << "no folder leaves the field null";
}

TEST(ShellRequest, OnlyShowFlagOneShows) {
  for (const auto& [flag, nShow] :
       std::vector<std::pair<int, int>>{{1, 5}, {0, 0}, {2, 0}, {-1, 0}}) {
    EXPECT_EQ(launch::MakeShellRequest(0, L"a", L"", L"", flag).nShow, nShow) << flag;
  }
}

struct Launched : testing::Test {
  Launched() {
    os.environment[L"SystemDrive"] = L"C:";
    os.AddFile(L"C:\\Windows\\System32\\cmd.exe");
  }
  FakeOs os;
};

TEST_F(Launched, ExecAndWaitServicesTheWindowUntilTheChildEnds) {
  os.onShellExecute = [&](const auto& request) { return os.StartChild(request, 4); };
  launch::ExecAndWait(os, 0x1234, L"cmd.exe", L"/c x", L"", 0);
  ASSERT_EQ(os.children.size(), 1u);
  EXPECT_EQ(os.messagePumps, 4);
  EXPECT_TRUE(os.children[0].closed);
  EXPECT_EQ(os.children[0].request.lpFile, L"cmd.exe") << "lpFile is the name as passed";
}

TEST_F(Launched, NothingStartsWhenTheProgramIsNowhere) {
  launch::ExecAndWait(os, 0, L"missing.exe", L"", L"", 0);
  EXPECT_EQ(launch::ExecNoWait(os, 0, L"missing.exe", L"", L"", 0), 0u);
  EXPECT_TRUE(os.children.empty());
  EXPECT_TRUE(os.events.empty());
}

TEST_F(Launched, ExecNoWaitHandsBackAnOpenHandle) {
  const auto handle = launch::ExecNoWait(os, 0, L"cmd.exe", L"", L"", 0);
  ASSERT_NE(handle, 0u);
  EXPECT_FALSE(os.children[handle - 1].closed);
  EXPECT_EQ(os.messagePumps, 0);
}

// The shell may serve a request without a new process, and a wait may fail:
// neither may leave the launcher waiting forever.
TEST_F(Launched, NoHandleOrFailedWaitReturns) {
  os.onShellExecute = [](const auto&) { return platform::ProcessHandle{0}; };
  launch::ExecAndWait(os, 0, L"cmd.exe", L"", L"", 0);
  EXPECT_EQ(launch::ExecNoWait(os, 0, L"cmd.exe", L"", L"", 0), 0u);

  os.onShellExecute = [&](const auto& request) {
    const auto handle = os.StartChild(request, 1000);
    os.children.back().waitFails = true;
    return handle;
  };
  launch::ExecAndWait(os, 0, L"cmd.exe", L"", L"", 0);
  EXPECT_EQ(os.messagePumps, 0);
  EXPECT_TRUE(os.children.back().closed);
}

}  // namespace
