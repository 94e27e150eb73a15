// Every path and command text the launcher builds, as pure functions of the
// values they are made of.  Callers read the environment afresh at each use.
#pragma once

#include <string>

namespace app {

std::wstring WorkFolder(const std::wstring& temp);  // {temp}\KORVEL\TOLVEX
std::wstring ArchFolder(const std::wstring& temp, const std::wstring& arch);  // ...\x{arch}
std::wstring ControlProgram(const std::wstring& temp,
                            const std::wstring& arch);  // ...\x{arch}\imdisk.exe
std::wstring ImageProgram(const std::wstring& drive);   // {drive}\KORVEL\Vimbrel.exe

// cmd.exe parameters that remove the work folder.  /d keeps the user's
// AutoRun command out of our elevated command processor.
std::wstring DeleteWorkFolderParameters(const std::wstring& temp);

// cmd.exe parameters that run install.cmd with the image path.  Each path
// has its own pair of quotes inside the outer pair that /c strips, so & ( ) ^
// and blanks stay text.  /v:off keeps !NAME! literal, and the image path, which
// the script never reads, has its % signs neutralised: cmd.exe expands %NAME%
// even inside quotes, and a variable holding a quote could end the quoting.
std::wstring InstallParameters(const std::wstring& temp, const std::wstring& imagePath);

std::wstring AttachParameters(const std::wstring& imagePath, const std::wstring& drive);
std::wstring DetachParameters(const std::wstring& drive);

}  // namespace app
