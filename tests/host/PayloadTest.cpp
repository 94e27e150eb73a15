#include <gtest/gtest.h>

#include "payload/Payload.h"
#include "platform/fake/FakeOs.h"

namespace {

using platform::FakeOs;

std::wstring ErrorOf(const platform::Failure& failure) {
  return failure ? failure->message : L"<no error>";
}

// A machine with the ten items embedded (each one distinct) and C:\T as temp.
struct Payload : testing::Test {
  Payload() {
    os.AddFolder(L"C:\\T");
    std::uint8_t seed = 1;
    for (const auto& item : payload::kItems) {
      os.resources[item.resourceName] = std::vector<std::uint8_t>(seed * 3u, seed);
      ++seed;
    }
  }
  void MakeFolders() {
    for (const wchar_t* sub : {L"", L"\\x86", L"\\x64"}) {
      ASSERT_TRUE(payload::ForceDirectories(os, std::wstring(L"C:\\T\\KORVEL\\TOLVEX") + sub));
    }
    os.events.clear();
  }
  std::vector<std::wstring> Created() {
    std::vector<std::wstring> created;
    for (const auto& e : os.events) {
      if (e.rfind(L"create ", 0) == 0) created.push_back(e.substr(7));
    }
    return created;
  }
  std::vector<std::uint8_t> Item(const wchar_t* name) { return os.resources.at(name); }
  FakeOs os;
};

TEST_F(Payload, FreshFolderGetsAllTenInTableOrder) {
  MakeFolders();
  EXPECT_EQ(ErrorOf(payload::WritePayload(os, L"C:\\T")), L"<no error>");
  std::vector<std::wstring> expected;
  for (const auto& item : payload::kItems) expected.push_back(std::wstring(L"C:\\T") + item.target);
  EXPECT_EQ(Created(), expected);
  for (const auto& item : payload::kItems) {
    EXPECT_EQ(os.Find(std::wstring(L"C:\\T") + item.target)->bytes, Item(item.resourceName));
  }
  EXPECT_EQ(os.openFiles, 0);
}

TEST_F(Payload, IntactFilesAreNotWrittenAgain) {
  MakeFolders();
  ASSERT_FALSE(payload::WritePayload(os, L"C:\\T"));
  os.events.clear();
  ASSERT_FALSE(payload::WritePayload(os, L"C:\\T"));
  EXPECT_TRUE(Created().empty());
}

// Anything that is not byte for byte ours is replaced before it can be run.
TEST_F(Payload, StaleTruncatedOrPlantedFilesAreRewritten) {
  MakeFolders();
  ASSERT_FALSE(payload::WritePayload(os, L"C:\\T"));
  os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.exe")->bytes = {'M', 'Z'};
  os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.sys")->bytes.clear();
  os.Find(L"C:\\T\\KORVEL\\TOLVEX\\install.cmd")->bytes.back() ^= 1;
  os.events.clear();
  ASSERT_FALSE(payload::WritePayload(os, L"C:\\T"));
  EXPECT_EQ(Created(), (std::vector<std::wstring>{L"C:\\T\\KORVEL\\TOLVEX\\install.cmd",
                                                  L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.exe",
                                                  L"C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.sys"}));
  EXPECT_EQ(os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.sys")->bytes, Item(L"IMDISKSYS64"));
}

TEST_F(Payload, ForeignFileThatCannotBeReplacedStopsEverything) {
  MakeFolders();
  os.AddFile(L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.cpl", {'x'});
  os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.cpl")->locked = true;
  EXPECT_EQ(ErrorOf(payload::WritePayload(os, L"C:\\T")),
            L"Cannot create file \"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.cpl\". Access is denied");
  EXPECT_EQ(Created().back(), L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.cpl") << "later items untouched";
  EXPECT_EQ(Created().size(), 3u);
}

struct ExtractCase {
  const char* what;
  std::function<void(FakeOs&)> arrange;
  const wchar_t* resource;
  std::wstring error;
};

class Extract : public Payload, public testing::WithParamInterface<ExtractCase> {};

TEST_P(Extract, ReportsEachFailureInItsOwnWords) {
  MakeFolders();
  GetParam().arrange(os);
  EXPECT_EQ(ErrorOf(payload::ExtractResource(os, L"RT_RCDATA", GetParam().resource,
                                             L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.sys")),
            GetParam().error);
  EXPECT_EQ(os.openFiles, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, Extract,
    testing::Values(
        ExtractCase{"missing resource", [](FakeOs&) {}, L"NOSUCH", L"Resource NOSUCH not found"},
        ExtractCase{
            "directory in the way",
            [](FakeOs& os) { os.AddFolder(L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.sys"); },
            L"IMDISKSYS86",
            L"Cannot create file \"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.sys\". Access is denied"},
        ExtractCase{"no such folder",
                    [](FakeOs& os) { os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x86")->path = L"gone"; },
                    L"IMDISKSYS86",
                    L"Cannot create file \"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.sys\". The system "
                    L"cannot find the path specified"},
        ExtractCase{"disk full", [](FakeOs& os) { os.diskSpace = 4; }, L"IMDISKSYS86",
                    L"Stream write error"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (auto& ch : name) ch = isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST_F(Payload, PartlyWrittenFileStays) {
  MakeFolders();
  os.diskSpace = 4;
  EXPECT_EQ(
      ErrorOf(payload::ExtractResource(os, L"RT_RCDATA", L"IMDISKSYS86", L"C:\\T\\KORVEL\\x.sys")),
      L"Stream write error");
  EXPECT_EQ(os.Find(L"C:\\T\\KORVEL\\x.sys")->bytes.size(), 4u);
}

TEST(TrimSystemMessage, DropsTrailingBlanksLineEndsAndFullStops) {
  EXPECT_EQ(payload::TrimSystemMessage(L"Access is denied. \r\n"), L"Access is denied");
  EXPECT_EQ(payload::TrimSystemMessage(L"Disk full...\r\n \r\n"), L"Disk full");
  EXPECT_EQ(payload::TrimSystemMessage(L"v1.2 ok"), L"v1.2 ok");
  EXPECT_EQ(payload::TrimSystemMessage(L""), L"");
}

TEST(ForceDirectories, CreatesEveryMissingParent) {
  FakeOs os;
  os.AddFolder(L"C:\\T");
  EXPECT_TRUE(payload::ForceDirectories(os, L"C:\\T\\KORVEL\\TOLVEX\\x86"));
  EXPECT_EQ(os.events,
            (std::vector<std::wstring>{L"mkdir C:\\T\\KORVEL", L"mkdir C:\\T\\KORVEL\\TOLVEX",
                                       L"mkdir C:\\T\\KORVEL\\TOLVEX\\x86"}));
  EXPECT_FALSE(payload::ForceDirectories(os, L""));
}

}  // namespace
