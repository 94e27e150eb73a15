#include "app/Unit1.h"

#include "app/Commands.h"
#include "app/ImageList.h"
#include "app/Layout.h"
#include "launch/Launch.h"
#include "payload/Payload.h"
#include "platform/Decimal.h"

namespace app {

namespace {

// How long the image's program may take to appear on the attached drive.
constexpr int kImageProgramTests = 121;
constexpr std::uint32_t kImageProgramPauseMs = 500;
// How often the launcher looks for programs still running from the image.
constexpr std::uint32_t kDiscInUsePollMs = 50;

wchar_t ToLower(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return wchar_t(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return wchar_t(c + 0x20);  // А-Я
  if (c >= 0x400 && c <= 0x40F) return wchar_t(c + 0x50);  // Ѐ-Џ
  return c;
}

}  // namespace

std::wstring ApplicationTitle(const std::wstring& moduleFileName) {
  const auto slash = moduleFileName.find_last_of(L"\\/");
  std::wstring title =
      slash == std::wstring::npos ? moduleFileName : moduleFileName.substr(slash + 1);
  title = title.substr(0, title.find(L'.'));
  for (std::size_t i = 1; i < title.size(); ++i) title[i] = ToLower(title[i]);
  return title;
}

std::wstring ErrorBoxText(const std::wstring& message) {
  if (!message.empty() && message.back() > L'.') return message + L'.';
  return message;
}

std::wstring UntrustedWorkFolderText(const std::wstring& folder) {
  return L"Рабочая папка " + folder +
         L" подменена (ссылка или чужая папка). Программа не будет запущена из неё!";
}

std::wstring AttachFailureText(unsigned exitCode) {
  std::wstring reason;
  switch (exitCode) {
    case 1:
      reason = L"устройство виртуального диска не найдено";
      break;
    case 2:
      reason = L"устройство виртуального диска недоступно";
      break;
    case 3:
      reason = L"файл образа недоступен или повреждён, либо буква диска занята";
      break;
    case 4:
      reason = L"драйвер виртуального диска не установлен или не загружается";
      break;
    case 5:
      reason = L"неподходящая версия драйвера виртуального диска";
      break;
    case 14:
      reason = L"нет свободной буквы диска";
      break;
    default:
      reason = L"код ошибки " + platform::Decimal(exitCode);
      break;
  }
  return L"Не удалось подключить образ: " + reason + L"!";
}

std::wstring FindEmptyDisk(platform::Os& os) {
  for (wchar_t letter = L'D'; letter <= L'Z'; ++letter) {
    const std::wstring drive{letter, L':'};
    if (os.DriveType(drive) == platform::kDriveNoRootDir) return drive;
  }
  return std::wstring();
}

void TForm1::Create() {
  if (const auto failure = FormCreate()) {
    os_.ShowError(ErrorBoxText(failure->message), ApplicationTitle(os_.ModuleFileName()));
  }
}

platform::Failure TForm1::FormCreate() {
  std::vector<std::wstring> images;
  if (auto failure = ListImages(os_, launch::ProgramFolder(os_.ModuleFileName()), images)) {
    return failure;
  }
  WinArch = platform::DirectoryExists(os_, os_.GetEnv(L"WINDIR") + L"\\SysWOW64") ? L"64" : L"86";
  EmptyDisk = FindEmptyDisk(os_);
  if (images.empty()) {
    os_.ShowMessage(kNoImagesText, ApplicationTitle(os_.ModuleFileName()));
    os_.ExitProcess(0);
  }
  FillAndLayOut(images);

  launch::ExecAndWait(os_, window_.Handle(), L"cmd.exe", DeleteWorkFolderParameters(Temp()),
                      std::wstring(), launch::kHidden);
  // The programs in the work folder run elevated: the folder is made so that
  // only administrators can change it, and nothing is written or run from
  // one that somebody else prepared.
  const std::wstring work = WorkFolder(Temp());
  if (!platform::DirectoryExists(os_, work)) {
    payload::ForceDirectories(os_, Temp() + L"\\KORVEL");
    os_.MakeProtectedDirectory(work);
  }
  if (!os_.IsTrustedDirectory(work)) return platform::Error{UntrustedWorkFolderText(work)};
  for (const wchar_t* arch : {L"86", L"64"}) {
    const std::wstring folder = ArchFolder(Temp(), arch);
    if (!platform::DirectoryExists(os_, folder)) payload::ForceDirectories(os_, folder);
  }
  if (auto failure = payload::WritePayload(os_, Temp())) return failure;

  if (window_.ItemCount() == 1) Button1Click();
  return std::nullopt;
}

void TForm1::FillAndLayOut(const std::vector<std::wstring>& names) {
  for (const auto& name : names) window_.AddItem(name);
  const std::wstring& longest = names[LongestNameIndex(names)];
  window_.Select(0);

  const auto layout = ComputeLayout({window_.TextWidth(longest),
                                     window_.GetBounds(platform::Control::ListBox1).left,
                                     window_.GetBounds(platform::Control::Label1).width,
                                     window_.GetBounds(platform::Control::Button1).width});
  window_.SetWidth(platform::Control::ListBox1, layout.listWidth);
  window_.SetWidth(platform::Control::Form, layout.formWidth);
  window_.SetLeft(platform::Control::ListBox1, layout.listLeft);
  window_.SetLeft(platform::Control::Label1, layout.labelLeft);
  window_.SetLeft(platform::Control::Button1, layout.buttonLeft);
}

void TForm1::Fail(const std::wstring& message) {
  os_.ShowError(ErrorBoxText(message), ApplicationTitle(os_.ModuleFileName()));
  os_.ExitProcess(1);
}

platform::ProcessHandle TForm1::StartControlProgram(const std::wstring& parameters) {
  return launch::ExecNoWait(os_, window_.Handle(), ControlProgram(Temp(), WinArch), parameters,
                            ArchFolder(Temp(), WinArch), launch::kHidden);
}

// The detach is started and left to run: nothing waits for it.
void TForm1::StartDetach() { launch::Child(os_, StartControlProgram(DetachParameters(EmptyDisk))); }

void TForm1::Button1Click() {
  int selected = -1;
  for (int i = 0; i < window_.ItemCount(); ++i) {
    if (window_.Selected(i)) {
      selected = i;
      break;
    }
  }
  if (selected < 0) return;

  window_.SetEnabled(false);
  window_.SetCaption(platform::Control::Button1, kWaitCaption);
  // Without a letter there is nothing to attach to, and the program found at
  // "\KORVEL\Vimbrel.exe" would be whatever lies on the current drive.
  if (EmptyDisk.empty()) return Fail(kNoFreeLetterText);

  const std::wstring name = window_.ItemText(selected);
  auto imagePath = [&] { return launch::ProgramFolderWithSlash(os_.ModuleFileName()) + name; };

  launch::ExecAndWait(os_, window_.Handle(), L"cmd.exe", InstallParameters(Temp(), imagePath()),
                      WorkFolder(Temp()), launch::kHidden);
  const launch::Child attach(os_, StartControlProgram(AttachParameters(imagePath(), EmptyDisk)));

  bool found = false;
  for (int test = 0; test < kImageProgramTests; ++test) {
    found = platform::FileExists(os_, ImageProgram(EmptyDisk));
    if (found) break;
    // A control program that has already given up will not attach anything:
    // say why now rather than after a minute of waiting.
    const auto attachResult = attach ? os_.ExitCode(attach.get()) : std::nullopt;
    if (attachResult && *attachResult != 0) {
      StartDetach();
      return Fail(AttachFailureText(*attachResult));
    }
    os_.Sleep(kImageProgramPauseMs);
  }
  if (!found) {
    StartDetach();
    return Fail(L"На образе не найдена программа " + ImageProgram(EmptyDisk) + L"!");
  }

  const launch::Child program(
      os_, launch::ExecNoWait(os_, window_.Handle(), ImageProgram(EmptyDisk), std::wstring(),
                              std::wstring(), launch::kShown));
  if (!program) {
    StartDetach();
    return Fail(L"Не удалось запустить программу " + ImageProgram(EmptyDisk) + L"!");
  }
  window_.Hide();
  launch::WaitServiced(os_, program.get());
  // Many image programs are starters that hand over to the real program and
  // exit: the image stays attached while anything still runs from it.
  while (os_.AnyProcessRunsFrom(EmptyDisk + L"\\")) {
    os_.ProcessMessages();
    os_.Sleep(kDiscInUsePollMs);
  }

  StartDetach();
  os_.ExitProcess(0);
}

}  // namespace app
