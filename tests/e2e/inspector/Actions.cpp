#include "Actions.h"

#include "Win.h"

namespace inspector {

namespace {

// The message box's button that ends it with IDOK; failing that (a box whose
// one button carries another id), its first visible button.
HWND OkButton(HWND box) {
  const HWND ok = ::GetDlgItem(box, IDOK);
  if (ok && ::IsWindowVisible(ok)) return ok;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (IsClass(child, L"Button") && ::IsWindowVisible(child)) return child;
  }
  return nullptr;
}

}  // namespace

std::string Click(HWND button) {
  if (!IsClass(button, L"Button")) return "not a button";
  if (!::PostMessageW(button, BM_CLICK, 0, 0)) return "the button took no message";
  return std::string();
}

std::string Select(HWND list, int index) {
  if (!IsClass(list, L"ListBox")) return "not a list box";
  const auto result = Ask(list, LB_SETCURSEL, static_cast<WPARAM>(index));
  if (!result) return "the list box did not answer";
  if (*result == LB_ERR && index != -1) return "no such item";
  return std::string();
}

std::string DoubleClick(HWND list) {
  if (!IsClass(list, L"ListBox")) return "not a list box";
  const int id = ::GetDlgCtrlID(list);
  if (!::PostMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK),
                      reinterpret_cast<LPARAM>(list))) {
    return "the list's parent took no message";
  }
  return std::string();
}

std::string PressOk(HWND box) {
  if (!IsClass(box, L"#32770")) return "not a message box";
  const HWND button = OkButton(box);
  if (!button) return "the box has no button";
  // What the button itself sends when clicked: a posted BM_CLICK would need
  // the box to be the active window.
  const int id = ::GetDlgCtrlID(button);
  if (!::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button))) {
    return "the box took no message";
  }
  return std::string();
}

}  // namespace inspector
