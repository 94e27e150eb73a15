// Reads the fonts other processes' windows draw with.
#pragma once

#include <windows.h>

#include <map>
#include <optional>

namespace inspector {

struct FontReply;

// WM_GETFONT answers with a GDI handle that only the window's own process can
// use, so the reader asks there: it hooks the window's thread with the hook
// library, whose hook fills in a LOGFONT in memory shared with the inspector.
// One reader serves any number of windows; its hooks end with it.
class FontReader {
 public:
  FontReader();
  FontReader(const FontReader&) = delete;
  FontReader& operator=(const FontReader&) = delete;
  ~FontReader();

  // The window's font; none when it keeps none (a plain top-level window)
  // or its process cannot take the hook (a 64-bit one).
  std::optional<LOGFONTW> FontOf(HWND hwnd);

 private:
  bool Hooked(DWORD thread);

  HMODULE library_ = nullptr;
  HOOKPROC hookProc_ = nullptr;
  HANDLE mapping_ = nullptr;
  FontReply* reply_ = nullptr;
  UINT probe_ = 0;
  std::map<DWORD, HHOOK> hooks_;  // by thread id; null where hooking failed
};

}  // namespace inspector
