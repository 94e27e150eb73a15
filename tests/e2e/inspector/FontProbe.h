// The protocol between the inspector and its hook library, which reads a
// window's font from inside the window's own process: a GDI font handle means
// nothing in any other process, so WM_GETFONT's answer cannot be read from
// outside.
#pragma once

#include <windows.h>

namespace inspector {

// Sent to the window whose font is wanted; wParam is the inspector's process
// id, which names the shared memory the reply goes into.
inline constexpr const wchar_t* kFontProbeMessage = L"TolvexInspectorFontProbe";
inline constexpr const wchar_t* kFontReplyPrefix = L"TolvexInspectorFont-";
inline constexpr const char* kHookProcName = "InspectorCallWndProc";
inline constexpr const wchar_t* kHookLibrary = L"inspector_hook.dll";

struct FontReply {
  LONG answered;  // set last, once the rest is written
  LONG hasFont;   // 0 when the window keeps no font
  LOGFONTW font;
};

}  // namespace inspector
