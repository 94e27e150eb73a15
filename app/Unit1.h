// The launcher's one window and everything it does.
#pragma once

#include <string>

#include "platform/Os.h"

namespace app {

// The window definition at 96 dpi; the platform scales it to the display.
struct Design {
  static constexpr int kClientWidth = 289, kClientHeight = 144;
  static constexpr int kFontHeight = -11;  // Tahoma, 8 points
  static constexpr int kItemHeight = 13;
  static constexpr platform::Bounds kLabel1{88, 12, 108, 13};
  static constexpr platform::Bounds kListBox1{17, 31, 256, 59};
  static constexpr platform::Bounds kButton1{81, 103, 121, 25};
};

inline constexpr const wchar_t* kFormCaption = L"Zarvent";
inline constexpr const wchar_t* kLabelCaption = L"Выберите ISO-образ:";
inline constexpr const wchar_t* kButtonCaption = L"Далее";
inline constexpr const wchar_t* kWaitCaption = L"Подождите...";
inline constexpr const wchar_t* kNoImagesText = L"Не найдены ISO-образы в папке с программой!";
inline constexpr const wchar_t* kNoFreeLetterText =
    L"Нет свободной буквы диска для подключения образа!";

// Why start-up stops when the work folder is not one only administrators
// could have prepared.
std::wstring UntrustedWorkFolderText(const std::wstring& folder);

// The file name without its folder, cut at the first full stop, every letter
// after the first in lower case: C:\x\TOLVEX.exe gives "Tolvex".
std::wstring ApplicationTitle(const std::wstring& moduleFileName);

// An error's message as the error box shows it: a full stop is added when the
// last character's code is above the full stop's.
std::wstring ErrorBoxText(const std::wstring& message);

// What the user is told when the control program could not attach the
// image: its exit codes, in words.
std::wstring AttachFailureText(unsigned exitCode);

// First letter from D: to Z: with nothing mounted, as "F:"; empty when none.
std::wstring FindEmptyDisk(platform::Os& os);

class TForm1 {
 public:
  TForm1(platform::Os& os, platform::FormWindow& window) : os_(os), window_(window) {}
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Runs FormCreate and reports a failure it ends with in the error box; the
  // window is shown afterwards in whatever state it reached.
  void Create();

  [[nodiscard]] platform::Failure FormCreate();
  void Button1Click();
  void ListBox1DblClick() { Button1Click(); }

  std::wstring WinArch;    // "64" or "86": the payload sub-folder x64 or x86
  std::wstring EmptyDisk;  // the free drive letter for the image, or empty

 private:
  void FillAndLayOut(const std::vector<std::wstring>& names);
  // Tells the user why the launch cannot go on and ends the process.
  void Fail(const std::wstring& message);
  // Starts imdisk.exe from the payload folder for this system, hidden.
  platform::ProcessHandle StartControlProgram(const std::wstring& parameters);
  void StartDetach();
  std::wstring Temp() { return os_.GetEnv(L"temp"); }

  platform::Os& os_;
  platform::FormWindow& window_;
};

}  // namespace app
