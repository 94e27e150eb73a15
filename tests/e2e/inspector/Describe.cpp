#include "Describe.h"

#include <vector>

#include "Fonts.h"
#include "Json.h"
#include "Win.h"

namespace inspector {

namespace {

BOOL CALLBACK Collect(HWND hwnd, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Every descendant, in the order the system enumerates them.
std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  ::EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&children));
  return children;
}

// The face the system draws with for the font asked for: another one when
// the asked one is not installed.
std::wstring RealisedFace(HWND hwnd, const LOGFONTW& logFont) {
  const OwnedFont font(logFont);
  const WindowDc dc(hwnd, font.get());
  wchar_t face[LF_FACESIZE] = L"";
  if (dc.get()) ::GetTextFaceW(dc.get(), LF_FACESIZE, face);
  return face;
}

void WriteRect(Json& json, const RECT& r) {
  json.BeginArray().Int(r.left).Int(r.top).Int(r.right).Int(r.bottom).EndArray();
}

// Only the fonts of windows on screen (and their controls) are read: reading
// one loads the hook library into the window's process, and the prefix's own
// processes keep many hidden windows that nobody needs the fonts of.
void WriteFont(Json& json, FontReader& fonts, HWND hwnd) {
  json.Key("font");
  const auto font = ::IsWindowVisible(hwnd) ? fonts.FontOf(hwnd) : std::nullopt;
  if (!font) {
    json.Null();
    return;
  }
  json.BeginObject()
      .Key("face")
      .String(font->lfFaceName)
      .Key("actual")
      .String(RealisedFace(hwnd, *font))
      .Key("height")
      .Int(font->lfHeight)
      .Key("weight")
      .Int(font->lfWeight)
      .Key("charset")
      .Int(font->lfCharSet)
      .EndObject();
}

void WriteStyles(Json& json, HWND hwnd) {
  json.Key("visible").Bool(::IsWindowVisible(hwnd));
  json.Key("enabled").Bool(::IsWindowEnabled(hwnd));
  json.Key("style").Int(static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)));
  json.Key("exstyle").Int(static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE)));
}

void WriteListBox(Json& json, HWND list) {
  const LRESULT count = Ask(list, LB_GETCOUNT).value_or(0);
  json.Key("items").BeginArray();
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(list, LB_GETTEXTLEN, i).value_or(LB_ERR);
    std::wstring item;
    if (length != LB_ERR) {
      item.assign(static_cast<std::size_t>(length) + 1, L'\0');
      Ask(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
      item.resize(static_cast<std::size_t>(length));
    }
    json.String(item);
  }
  json.EndArray();
  json.Key("selected").Int(Ask(list, LB_GETCURSEL).value_or(LB_ERR));
  json.Key("item_height").Int(Ask(list, LB_GETITEMHEIGHT).value_or(LB_ERR));
}

void WriteChild(Json& json, FontReader& fonts, HWND child) {
  const HWND parent = ::GetParent(child);
  RECT rect;
  ::GetWindowRect(child, &rect);
  // Where the parent placed it: its client coordinates.
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  json.BeginObject();
  json.Key("hwnd").Int(HandleNumber(child));
  json.Key("parent").Int(HandleNumber(parent));
  json.Key("class").String(ClassOf(child));
  json.Key("id").Int(::GetDlgCtrlID(child));
  json.Key("text").String(TextOf(child));
  WriteStyles(json, child);
  json.Key("rect");
  WriteRect(json, rect);
  WriteFont(json, fonts, child);
  if (IsClass(child, L"ListBox")) WriteListBox(json, child);
  if (IsClass(child, L"Static") && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    // Whether the picture holds an icon: a message box keeps its icon
    // control even when it shows none.
    json.Key("icon").Bool(Ask(child, STM_GETICON).value_or(0) != 0);
  }
  json.EndObject();
}

void WriteWindow(Json& json, FontReader& fonts, HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  RECT rect, client;
  ::GetWindowRect(hwnd, &rect);
  ::GetClientRect(hwnd, &client);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);

  json.BeginObject();
  json.Key("hwnd").Int(HandleNumber(hwnd));
  json.Key("pid").Int(pid);
  json.Key("class").String(ClassOf(hwnd));
  json.Key("title").String(TextOf(hwnd));
  WriteStyles(json, hwnd);
  json.Key("rect");
  WriteRect(json, rect);
  json.Key("client").BeginArray().Int(client.right).Int(client.bottom).EndArray();
  json.Key("dpi").Int(DpiOf(hwnd));
  WriteFont(json, fonts, hwnd);
  json.Key("work");
  WriteRect(json, monitor.rcWork);
  json.Key("children").BeginArray();
  for (const HWND child : ChildWindows(hwnd)) WriteChild(json, fonts, child);
  json.EndArray();
  json.EndObject();
}

}  // namespace

std::string DescribeWindows() {
  Json json;
  FontReader fonts;
  json.BeginArray();
  for (const HWND hwnd : TopLevelWindows()) WriteWindow(json, fonts, hwnd);
  json.EndArray();
  return json.str();
}

}  // namespace inspector
