// The fake window: controls as plain values, scaled like the real face does.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Os.h"

namespace platform {

class FakeForm : public FormWindow {
 public:
  // Lays the controls out at `dpi` from the window definition; events go to
  // `log` when it is given.
  explicit FakeForm(int dpi = 96, std::vector<std::wstring>* log = nullptr);

  // How wide a text is in the window's font; by default 6 pixels a unit.
  std::function<int(const std::wstring&)> measure;

  std::map<Control, Bounds> bounds;
  std::map<Control, std::wstring> captions;
  std::vector<std::wstring> items;
  int selected = -1;
  bool enabled = true;
  bool hidden = false;

  WindowHandle Handle() override { return 0x1234; }
  Bounds GetBounds(Control control) override { return bounds.at(control); }
  void SetLeft(Control control, int left) override { bounds.at(control).left = left; }
  void SetWidth(Control control, int width) override { bounds.at(control).width = width; }
  int TextWidth(const std::wstring& text) override { return measure(text); }
  void AddItem(const std::wstring& text) override { items.push_back(text); }
  int ItemCount() override { return static_cast<int>(items.size()); }
  std::wstring ItemText(int index) override { return items.at(index); }
  bool Selected(int index) override { return index == selected; }
  void Select(int index) override { selected = index; }
  void SetEnabled(bool value) override;
  void SetCaption(Control control, const std::wstring& text) override;
  void Hide() override;

 private:
  std::vector<std::wstring>* log_;
};

}  // namespace platform
