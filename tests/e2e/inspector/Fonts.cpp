#include "Fonts.h"

#include <cwchar>
#include <string>

#include "FontProbe.h"
#include "Win.h"

namespace inspector {

namespace {

// The hook library lies beside the inspector.
std::wstring LibraryPath() {
  wchar_t path[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + kHookLibrary;
}

std::optional<LOGFONTW> ReadHere(HWND hwnd) {
  const auto font = Ask(hwnd, WM_GETFONT);
  LOGFONTW logFont{};
  if (!font || !*font ||
      ::GetObjectW(reinterpret_cast<HGDIOBJ>(*font), sizeof logFont, &logFont) !=
          static_cast<int>(sizeof logFont)) {
    return std::nullopt;
  }
  return logFont;
}

}  // namespace

FontReader::FontReader() {
  probe_ = ::RegisterWindowMessageW(kFontProbeMessage);
  library_ = ::LoadLibraryW(LibraryPath().c_str());
  if (library_) {
    hookProc_ = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(library_, kHookProcName)));
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"%ls%lu", kFontReplyPrefix, ::GetCurrentProcessId());
  mapping_ = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(FontReply), name);
  if (mapping_) {
    reply_ =
        static_cast<FontReply*>(::MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(FontReply)));
  }
}

FontReader::~FontReader() {
  for (const auto& [thread, hook] : hooks_) {
    if (hook) ::UnhookWindowsHookEx(hook);
  }
  if (reply_) ::UnmapViewOfFile(reply_);
  if (mapping_) ::CloseHandle(mapping_);
  if (library_) ::FreeLibrary(library_);
}

bool FontReader::Hooked(DWORD thread) {
  const auto known = hooks_.find(thread);
  if (known != hooks_.end()) return known->second != nullptr;
  const HHOOK hook =
      hookProc_ ? ::SetWindowsHookExW(WH_CALLWNDPROC, hookProc_, library_, thread) : nullptr;
  hooks_[thread] = hook;
  return hook != nullptr;
}

std::optional<LOGFONTW> FontReader::FontOf(HWND hwnd) {
  DWORD pid = 0;
  const DWORD thread = ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == ::GetCurrentProcessId()) return ReadHere(hwnd);
  if (!reply_ || !Hooked(thread)) return std::nullopt;
  *reply_ = FontReply{};
  // The hook runs before the window procedure, on the window's thread, and
  // has written the reply by the time the message is answered.
  if (!Ask(hwnd, probe_, ::GetCurrentProcessId())) return std::nullopt;
  if (!::InterlockedCompareExchange(&reply_->answered, 0, 0) || !reply_->hasFont) {
    return std::nullopt;
  }
  return reply_->font;
}

}  // namespace inspector
