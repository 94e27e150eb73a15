// Runs inside the inspected process, loaded there by the system for the
// inspector's WH_CALLWNDPROC hook: answers the font probe with the LOGFONT of
// the font the window uses.
#include <windows.h>

#include <cwchar>

#include "../FontProbe.h"

namespace {

void Reply(HWND hwnd, DWORD inspectorPid) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%ls%lu", inspector::kFontReplyPrefix, inspectorPid);
  const HANDLE mapping = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return;
  auto* reply = static_cast<inspector::FontReply*>(
      ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(inspector::FontReply)));
  if (reply) {
    const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
    reply->hasFont = font && ::GetObjectW(font, sizeof reply->font, &reply->font) ==
                                 static_cast<int>(sizeof reply->font);
    ::InterlockedExchange(&reply->answered, 1);
    ::UnmapViewOfFile(reply);
  }
  ::CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    InspectorCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probe = ::RegisterWindowMessageW(inspector::kFontProbeMessage);
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (message->message == probe) Reply(message->hwnd, static_cast<DWORD>(message->wParam));
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
