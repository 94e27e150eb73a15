#include <gtest/gtest.h>

#include "app/ImageList.h"
#include "platform/fake/FakeOs.h"

namespace {

std::vector<std::wstring> List(platform::Os& os, const std::wstring& folder) {
  std::vector<std::wstring> images;
  EXPECT_FALSE(app::ListImages(os, folder, images).has_value());
  return images;
}

struct MaskCase {
  const wchar_t* name;
  bool matches;
};

class IsoMask : public testing::TestWithParam<MaskCase> {};

TEST_P(IsoMask, WholeLongNameWithOnlyLatinLettersFolded) {
  EXPECT_EQ(app::MatchesIsoMask(GetParam().name), GetParam().matches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, IsoMask,
    testing::Values(MaskCase{L"a.iso", true}, MaskCase{L"a.ISO", true}, MaskCase{L"Игра.iso", true},
                    MaskCase{L".iso", true}, MaskCase{L"a.IsO", true}, MaskCase{L"a.isox", false},
                    MaskCase{L"a.iso.bak", false}, MaskCase{L"aiso", false},
                    MaskCase{L"iso", false}, MaskCase{L"a.is", false},
                    // Only a-z fold: a full-width or Cyrillic look-alike does not.
                    MaskCase{L"a.\xFF29SO", false}, MaskCase{L"a.is\x043E", false}));

TEST(LongestName, FirstOfEqualLengthWins) {
  EXPECT_EQ(app::LongestNameIndex({L"abc.iso", L"xyz.iso"}), 0u);
  EXPECT_EQ(app::LongestNameIndex({L"a.iso", L"abc.iso", L"xyz.iso", L"b.iso"}), 1u);
  EXPECT_EQ(app::LongestNameIndex({L"a.iso", L"bb.iso", L"Игра-длинная.iso"}), 2u);
}

TEST(LongestName, CountsUtf16Units) {
  // One character outside the BMP is two UTF-16 units, as Windows counts it.
  EXPECT_EQ(app::Utf16Length(std::wstring(L"ab") + wchar_t(0x1F600)),
            sizeof(wchar_t) > 2 ? 4u : 3u);
}

TEST(ListImages, TakesFilesOfAnyAttributeInEnumerationOrder) {
  platform::FakeOs os;
  os.AddFolder(L"C:\\Games");
  os.AddFile(L"C:\\Games\\b.iso");
  os.AddFile(L"C:\\Games\\A.ISO");
  os.AddFile(L"C:\\Games\\hidden.iso", {}, platform::kAttrHidden);
  os.AddFile(L"C:\\Games\\system.iso", {}, platform::kAttrSystem | platform::kAttrHidden);
  os.AddFolder(L"C:\\Games\\c.iso");
  os.AddFile(L"C:\\Games\\a.iso.bak");
  os.AddFile(L"C:\\Games\\x.isox");  // what a short-name match brings back
  os.AddFile(L"C:\\Games\\sub\\d.iso");

  const auto images = List(os, L"C:\\Games");
  EXPECT_EQ(images, (std::vector<std::wstring>{L"b.iso", L"A.ISO", L"hidden.iso", L"system.iso"}));
}

TEST(ListImages, DriveRootKeepsOneBackslash) {
  platform::FakeOs os;
  os.AddFile(L"E:\\a.iso");
  EXPECT_EQ(List(os, L"E:\\"), std::vector<std::wstring>{L"a.iso"});
}

TEST(ListImages, FolderThatCannotBeListedGivesNothing) {
  platform::FakeOs os;
  os.AddFile(L"C:\\Locked\\a.iso");
  os.unlistable.insert(L"C:\\Locked");
  EXPECT_TRUE(List(os, L"C:\\Locked").empty());
}

TEST(ListImages, TooLongFolderRaisesTheSystemsError) {
  platform::FakeOs os;
  const std::wstring deep = L"C:\\" + std::wstring(245, L'd');  // 248 characters
  std::vector<std::wstring> images;
  const auto failure = app::ListImages(os, deep, images);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->message, L"The specified path is too long");
  EXPECT_FALSE(app::ListImages(os, deep.substr(0, 247), images).has_value());
}

}  // namespace
