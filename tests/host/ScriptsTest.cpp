// The two scripts are embedded byte for byte, so a checkout that rewrote
// their line ends (or an editor that added a final one) would ship scripts
// the command processor reads differently.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string ReadSource(const char* name) {
  std::ifstream file(std::string(PAYLOAD_SCRIPTS) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Join(const std::vector<std::string>& lines, bool lastLineEnd) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || lastLineEnd) text += "\r\n";
  }
  return text;
}

TEST(Scripts, InstallIsExactlyAsShipped) {
  const std::string expected = Join(
      {
          R"(set "_imdr_dir=%~dp0x64")",
          R"(if %PROCESSOR_ARCHITECTURE%==x86 if not defined PROCESSOR_ARCHITEW6432 set "_imdr_dir=%~dp0x86")",
          R"(>nul "%_imdr_dir%\zDrvInst.exe" ImDisk /status|| ()",
          R"( "%_imdr_dir%\zDrvInst.exe" ImDisk "%_imdr_dir%\imdisk.sys" /install)",
          R"())",
          R"("%_imdr_dir%\zDrvInst.exe" ImDisk /status| >nul find "running"|| ()",
          R"( "%_imdr_dir%\zDrvInst.exe" ImDisk /start)",
          R"() )",
          "",
          "exit",
      },
      false);
  const std::string actual = ReadSource("install.cmd");
  EXPECT_EQ(actual.size(), 369u);
  EXPECT_EQ(actual, expected);
}

TEST(Scripts, UninstallIsExactlyAsShipped) {
  const std::string expected = Join(
      {
          R"(set "_imdr_dir=%~dp0x64")",
          R"(if %PROCESSOR_ARCHITECTURE%==x86 if not defined PROCESSOR_ARCHITEW6432 set "_imdr_dir=%~dp0x86")",
          "",
          R"("%_imdr_dir%\zDrvInst.exe" ImDisk /stop)",
          R"("%_imdr_dir%\zDrvInst.exe" ImDisk /uninstall)",
          "",
          "pause",
          "exit",
      },
      true);
  const std::string actual = ReadSource("uninstall.cmd");
  EXPECT_EQ(actual.size(), 227u);
  EXPECT_EQ(actual, expected);
}

}  // namespace
