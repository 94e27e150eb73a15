// What TOLVEX carries inside its own file, and where it goes on disk.
#pragma once

#include <string>

#include "platform/Os.h"

namespace payload {

// The resource type every item is stored under: a type given by name.
constexpr const wchar_t* kResourceType = L"RT_RCDATA";

struct Item {
  const wchar_t* resourceName;
  const wchar_t* target;  // joined to {temp}
};

// In the order start-up writes them.
constexpr Item kItems[] = {
    {L"INSTALL", L"\\KORVEL\\TOLVEX\\install.cmd"},
    {L"ZDRVINSTEXE86", L"\\KORVEL\\TOLVEX\\x86\\zDrvInst.exe"},
    {L"IMDISKCPL86", L"\\KORVEL\\TOLVEX\\x86\\imdisk.cpl"},
    {L"IMDISKEXE86", L"\\KORVEL\\TOLVEX\\x86\\imdisk.exe"},
    {L"IMDISKSYS86", L"\\KORVEL\\TOLVEX\\x86\\imdisk.sys"},
    {L"ZDRVINSTEXE64", L"\\KORVEL\\TOLVEX\\x64\\zDrvInst.exe"},
    {L"IMDISKCPL64", L"\\KORVEL\\TOLVEX\\x64\\imdisk.cpl"},
    {L"IMDISKEXE64", L"\\KORVEL\\TOLVEX\\x64\\imdisk.exe"},
    {L"IMDISKSYS64", L"\\KORVEL\\TOLVEX\\x64\\imdisk.sys"},
    {L"UNINSTALL", L"\\KORVEL\\TOLVEX\\uninstall.cmd"},
};

// The system's description of a failure, without the trailing blanks, line
// ends and full stops it usually comes with.
std::wstring TrimSystemMessage(std::wstring message);

// Writes one resource to `target`, replacing whatever file was there.
// Every failure comes back with its user-facing text.
[[nodiscard]] platform::Failure ExtractResource(platform::Os& os, const std::wstring& type,
                                                const std::wstring& name,
                                                const std::wstring& target);

// Creates `path` with every missing parent; reports, never raises.
bool ForceDirectories(platform::Os& os, const std::wstring& path);

// Writes the items under {temp} in table order.  The work folder is one the
// user's own programs may be able to write to, and these files run elevated:
// a file already there is kept only when it is byte for byte ours, anything
// else is rewritten.  Stops at the first failure.
[[nodiscard]] platform::Failure WritePayload(platform::Os& os, const std::wstring& temp);

}  // namespace payload
