#include "platform/fake/FakeForm.h"

#include "app/Unit1.h"

namespace platform {

namespace {

int Scale(int value, int dpi) { return value * dpi / 96; }

Bounds Scale(const Bounds& b, int dpi) {
  return {Scale(b.left, dpi), Scale(b.top, dpi), Scale(b.width, dpi), Scale(b.height, dpi)};
}

}  // namespace

FakeForm::FakeForm(int dpi, std::vector<std::wstring>* log) : log_(log) {
  using D = app::Design;
  // Outer size: the client area plus a thin frame and a caption, as a fixed
  // single border would add.
  bounds[Control::Form] = {0, 0, Scale(D::kClientWidth, dpi) + 6,
                           Scale(D::kClientHeight, dpi) + 25};
  bounds[Control::Label1] = Scale(D::kLabel1, dpi);
  bounds[Control::ListBox1] = Scale(D::kListBox1, dpi);
  bounds[Control::Button1] = Scale(D::kButton1, dpi);
  measure = [](const std::wstring& text) { return static_cast<int>(text.size()) * 6; };
}

void FakeForm::SetEnabled(bool value) {
  enabled = value;
  if (log_) log_->push_back(value ? L"enable" : L"disable");
}

void FakeForm::SetCaption(Control control, const std::wstring& text) {
  captions[control] = text;
  if (log_) log_->push_back(L"caption " + text);
}

void FakeForm::Hide() {
  hidden = true;
  if (log_) log_->push_back(L"hide");
}

}  // namespace platform
