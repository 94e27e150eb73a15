#include "app/Commands.h"

namespace app {

std::wstring WorkFolder(const std::wstring& temp) { return temp + L"\\KORVEL\\TOLVEX"; }

std::wstring ArchFolder(const std::wstring& temp, const std::wstring& arch) {
  return temp + L"\\KORVEL\\TOLVEX\\x" + arch;
}

std::wstring ControlProgram(const std::wstring& temp, const std::wstring& arch) {
  return ArchFolder(temp, arch) + L"\\imdisk.exe";
}

std::wstring ImageProgram(const std::wstring& drive) { return drive + L"\\KORVEL\\Vimbrel.exe"; }

std::wstring DeleteWorkFolderParameters(const std::wstring& temp) {
  return L"/d /c rd \"" + WorkFolder(temp) + L"\" /s /q";
}

std::wstring InstallParameters(const std::wstring& temp, const std::wstring& imagePath) {
  std::wstring carried = imagePath;
  for (auto& c : carried) {
    if (c == L'%') c = L'_';
  }
  return L"/d /v:off /c \"\"" + WorkFolder(temp) + L"\\install.cmd\" \"" + carried + L"\"\"";
}

std::wstring AttachParameters(const std::wstring& imagePath, const std::wstring& drive) {
  return L"-a -f \"" + imagePath + L"\" -m " + drive;
}

std::wstring DetachParameters(const std::wstring& drive) { return L"-D -m " + drive; }

}  // namespace app
