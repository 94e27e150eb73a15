#include <gtest/gtest.h>

#include "app/Commands.h"
#include "app/Unit1.h"
#include "payload/Payload.h"
#include "platform/fake/FakeForm.h"
#include "platform/fake/FakeOs.h"

namespace {

using platform::FakeOs;
using Events = std::vector<std::wstring>;

constexpr const wchar_t* kInstall =
    L"shell cmd.exe /d /v:off /c \"\"C:\\T\\KORVEL\\TOLVEX\\install.cmd\" \"C:\\Games\\a.iso\"\"";
constexpr const wchar_t* kAttach =
    L"shell C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.exe -a -f \"C:\\Games\\a.iso\" -m F:";
constexpr const wchar_t* kDetach = L"shell C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.exe -D -m F:";
constexpr const wchar_t* kRun = L"shell F:\\KORVEL\\Vimbrel.exe ";

// A 64-bit machine with C: and two more drives in use, temp at C:\T, the
// launcher in C:\Games, and an attach that makes the image's program appear
// after `appearsAfterPauses` pauses.
struct Machine : testing::Test {
  Machine() : form(96, &os.events) {
    os.environment = {{L"temp", L"C:\\T"}, {L"WINDIR", L"C:\\Windows"}, {L"SystemDrive", L"C:"}};
    os.driveTypes = {{L"C:", 3}, {L"D:", 5}, {L"E:", 3}};
    os.AddFolder(L"C:\\Windows");
    os.AddFolder(L"C:\\Windows\\SysWOW64");
    os.AddFolder(L"C:\\Windows\\System32");
    os.AddFile(L"C:\\Windows\\System32\\cmd.exe");
    os.AddFolder(L"C:\\T");
    os.AddFolder(L"C:\\Games");
    for (const auto& item : payload::kItems) os.resources[item.resourceName] = {'M', 'Z'};
    os.onShellExecute = [this](const platform::ShellRequest& r) {
      if (r.lpParameters->rfind(L"-a ", 0) == 0) attached = true;
      return os.StartChild(r, r.lpFile == L"F:\\KORVEL\\Vimbrel.exe" ? programSlices : 0);
    };
    os.onSleep = [this] {
      if (attached && ++pausesSinceAttach == appearsAfterPauses)
        os.AddFile(L"F:\\KORVEL\\Vimbrel.exe");
    };
  }

  // Runs the create handler; the exit code, or -1 when the process lives on.
  int Create() {
    try {
      Form1.Create();
    } catch (const platform::FakeExit& exit) {
      return static_cast<int>(exit.code);
    }
    return -1;
  }
  int Click() {
    try {
      Form1.Button1Click();
    } catch (const platform::FakeExit& exit) {
      return static_cast<int>(exit.code);
    }
    return -1;
  }
  Events From(const std::wstring& first) {
    const auto it = std::find(os.events.begin(), os.events.end(), first);
    return Events(it, os.events.end());
  }
  const platform::ShellRequest& Launch(const std::wstring& file) {
    for (const auto& child : os.children) {
      if (child.request.lpFile == file) return child.request;
    }
    throw std::runtime_error("not launched");
  }

  FakeOs os;
  platform::FakeForm form;
  app::TForm1 Form1{os, form};
  bool attached = false;
  int pausesSinceAttach = 0;
  int appearsAfterPauses = 2;
  int programSlices = 3;
};

TEST_F(Machine, NoImageShowsTheMessageAndEndsWithoutWritingAnything) {
  os.AddFolder(L"C:\\Games\\sub");
  os.AddFile(L"C:\\Games\\sub\\a.iso");
  EXPECT_EQ(Create(), 0);
  EXPECT_EQ(os.events,
            (Events{L"message [Tolvex] Не найдены ISO-образы в папке с программой!", L"exit 0"}));
  EXPECT_TRUE(form.items.empty());
}

TEST_F(Machine, TwoImagesPrepareTheWorkFolderAndWait) {
  os.AddFile(L"C:\\Games\\b.iso");
  os.AddFile(L"C:\\Games\\a.iso");
  EXPECT_EQ(Create(), -1);
  Events expected{L"shell cmd.exe /d /c rd \"C:\\T\\KORVEL\\TOLVEX\" /s /q", L"mkdir C:\\T\\KORVEL",
                  L"mkdir protected C:\\T\\KORVEL\\TOLVEX", L"mkdir C:\\T\\KORVEL\\TOLVEX\\x86",
                  L"mkdir C:\\T\\KORVEL\\TOLVEX\\x64"};
  for (const auto& item : payload::kItems)
    expected.push_back(std::wstring(L"create C:\\T") + item.target);
  EXPECT_EQ(os.events, expected);
  EXPECT_EQ(form.items, (Events{L"b.iso", L"a.iso"}));
  EXPECT_EQ(form.selected, 0);
  EXPECT_EQ(Form1.WinArch, L"64");
  EXPECT_EQ(Form1.EmptyDisk, L"F:");
  // Short names: the minimum list width at 96 dpi.
  EXPECT_EQ(form.bounds[platform::Control::Form].width, 306);
  EXPECT_EQ(form.bounds[platform::Control::ListBox1].left, 22);
  EXPECT_EQ(form.bounds[platform::Control::ListBox1].width, 255);
  EXPECT_EQ(form.bounds[platform::Control::Label1].left, 99);
  EXPECT_EQ(form.bounds[platform::Control::Button1].left, 93);
  EXPECT_TRUE(form.enabled);
  EXPECT_FALSE(form.hidden);
  const auto& rd = Launch(L"cmd.exe");
  EXPECT_FALSE(rd.lpDirectory.has_value());
  EXPECT_EQ(rd.nShow, 0);
}

TEST_F(Machine, WorkFolderSomebodyElsePreparedStopsStartUp) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.AddFolder(L"C:\\T\\KORVEL");
  os.AddFolder(L"C:\\T\\KORVEL\\TOLVEX");
  os.Find(L"C:\\T\\KORVEL\\TOLVEX")->trusted = false;  // survived the deletion: a link, say
  EXPECT_EQ(Create(), -1);
  EXPECT_EQ(os.events.back(),
            L"error [Tolvex] Рабочая папка C:\\T\\KORVEL\\TOLVEX подменена (ссылка или чужая "
            L"папка). Программа не будет запущена из неё!");
  EXPECT_EQ(std::count_if(os.events.begin(), os.events.end(),
                          [](const std::wstring& e) { return e.rfind(L"create ", 0) == 0; }),
            0)
      << "nothing written";
  EXPECT_EQ(os.children.size(), 1u) << "only the deletion ran";
}

TEST_F(Machine, LayoutMeasuresTheLongestName) {
  os.AddFile(L"C:\\Games\\abc.iso");
  os.AddFile(L"C:\\Games\\xyz.iso");
  os.AddFile(L"C:\\Games\\b.iso");
  std::wstring measured;
  form.measure = [&](const std::wstring& text) {
    measured = text;
    return 400;
  };
  Create();
  EXPECT_EQ(measured, L"abc.iso");
  EXPECT_EQ(form.bounds[platform::Control::Form].width, 486);
  EXPECT_EQ(form.bounds[platform::Control::ListBox1].width, 435);
  EXPECT_EQ(form.bounds[platform::Control::ListBox1].left, 19);
  EXPECT_EQ(form.bounds[platform::Control::Label1].left, 189);
}

TEST_F(Machine, OneImageRunsTheWholeSequenceWithoutShowingTheWindow) {
  os.AddFile(L"C:\\Games\\a.iso");
  EXPECT_EQ(Create(), 0);
  EXPECT_EQ(From(L"disable"),
            (Events{L"disable", L"caption Подождите...", kInstall, kAttach, L"sleep 500",
                    L"sleep 500", kRun, L"hide", kDetach, L"exit 0"}));
  EXPECT_EQ(os.messagePumps, 3) << "the program's run is a serviced wait";

  EXPECT_EQ(Launch(L"cmd.exe").lpDirectory, std::nullopt);  // the deletion
  const auto& attach = Launch(L"C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.exe");
  EXPECT_EQ(attach.lpDirectory, L"C:\\T\\KORVEL\\TOLVEX\\x64");
  EXPECT_EQ(attach.nShow, 0);
  const auto& run = Launch(L"F:\\KORVEL\\Vimbrel.exe");
  EXPECT_EQ(run.lpParameters, L"");
  EXPECT_EQ(run.lpDirectory, std::nullopt);
  EXPECT_EQ(run.nShow, 5);
  EXPECT_EQ(os.children[1].request.lpDirectory, L"C:\\T\\KORVEL\\TOLVEX") << "install script";
}

TEST_F(Machine, FailingUnpackIsReportedAndSuppressesTheAutomaticStart) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.resources.erase(L"IMDISKCPL86");
  EXPECT_EQ(Create(), -1);
  EXPECT_EQ(os.events.back(), L"error [Tolvex] Resource IMDISKCPL86 not found.");
  EXPECT_EQ(os.Find(L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.exe"), nullptr)
      << "later items not written";
  EXPECT_EQ(form.items, Events{L"a.iso"});
  EXPECT_TRUE(form.enabled);
  EXPECT_FALSE(form.hidden);
}

TEST_F(Machine, ProgramFoundAtTheThirdTestAfterTwoPauses) {
  os.AddFile(L"C:\\Games\\a.iso");
  appearsAfterPauses = 2;
  EXPECT_EQ(Create(), 0);
  EXPECT_EQ(std::count(os.events.begin(), os.events.end(), L"sleep 500"), 2);
}

TEST_F(Machine, ProgramNeverFoundDetachesAndSaysSo) {
  os.AddFile(L"C:\\Games\\a.iso");
  appearsAfterPauses = 1000;
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(std::count(os.events.begin(), os.events.end(), L"sleep 500"), 121);
  EXPECT_EQ(std::count(os.probes.begin(), os.probes.end(), L"F:\\KORVEL\\Vimbrel.exe"), 121);
  EXPECT_EQ(From(kDetach), (Events{kDetach,
                                   L"error [Tolvex] На образе не найдена программа "
                                   L"F:\\KORVEL\\Vimbrel.exe!",
                                   L"exit 1"}));
}

TEST_F(Machine, ProgramThatCannotStartIsNotWaitedFor) {
  os.AddFile(L"C:\\Games\\a.iso");
  auto launch = os.onShellExecute;
  os.onShellExecute = [&](const platform::ShellRequest& r) {
    return r.lpFile == L"F:\\KORVEL\\Vimbrel.exe" ? 0 : launch(r);
  };
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(From(kRun), (Events{kRun, kDetach,
                                L"error [Tolvex] Не удалось запустить программу "
                                L"F:\\KORVEL\\Vimbrel.exe!",
                                L"exit 1"}));
  EXPECT_EQ(os.messagePumps, 0);
}

// A control program that gives up is heard at once, in the user's words.
struct AttachCase {
  unsigned code;
  const wchar_t* reason;
};

class FailedAttach : public Machine, public testing::WithParamInterface<AttachCase> {};

TEST_P(FailedAttach, StopsThePollAtOnce) {
  os.AddFile(L"C:\\Games\\a.iso");
  auto launch = os.onShellExecute;
  os.onShellExecute = [&](const platform::ShellRequest& r) {
    const auto handle = launch(r);
    if (r.lpParameters->rfind(L"-a ", 0) == 0) {
      os.children.back().exitCode = GetParam().code;
      attached = false;  // nothing will ever appear
    }
    return handle;
  };
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(From(kAttach), (Events{kAttach, kDetach,
                                   std::wstring(L"error [Tolvex] Не удалось подключить образ: ") +
                                       GetParam().reason + L"!",
                                   L"exit 1"}));
}

INSTANTIATE_TEST_SUITE_P(
    ExitCodes, FailedAttach,
    testing::Values(AttachCase{1, L"устройство виртуального диска не найдено"},
                    AttachCase{2, L"устройство виртуального диска недоступно"},
                    AttachCase{3, L"файл образа недоступен или повреждён, либо буква диска занята"},
                    AttachCase{4, L"драйвер виртуального диска не установлен или не загружается"},
                    AttachCase{5, L"неподходящая версия драйвера виртуального диска"},
                    AttachCase{14, L"нет свободной буквы диска"},
                    AttachCase{77, L"код ошибки 77"}));

TEST_F(Machine, StillAttachingKeepsPolling) {
  os.AddFile(L"C:\\Games\\a.iso");
  auto launch = os.onShellExecute;
  os.onShellExecute = [&](const platform::ShellRequest& r) {
    const auto handle = launch(r);
    if (r.lpParameters->rfind(L"-a ", 0) == 0) os.children.back().slicesToRun = 1000;
    return handle;
  };
  appearsAfterPauses = 5;
  EXPECT_EQ(Create(), 0);
  EXPECT_EQ(std::count(os.events.begin(), os.events.end(), L"sleep 500"), 5);
}

// A starter on the image hands over to the real program and exits: the image
// stays attached until nothing runs from it any more.
TEST_F(Machine, DetachWaitsForEverythingRunningFromTheImage) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.runningFrom[L"F:\\"] = 3;
  EXPECT_EQ(Create(), 0);
  EXPECT_EQ(From(L"hide"),
            (Events{L"hide", L"sleep 50", L"sleep 50", L"sleep 50", kDetach, L"exit 0"}));
  EXPECT_EQ(os.messagePumps, 3 + 3);
}

TEST_F(Machine, NoFreeLetterAttachesAndRunsNothing) {
  os.AddFile(L"C:\\Games\\a.iso");
  for (wchar_t letter = L'D'; letter <= L'Z'; ++letter) os.driveTypes[{letter, L':'}] = 4;
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(Form1.EmptyDisk, L"");
  EXPECT_EQ(
      From(L"disable"),
      (Events{L"disable", L"caption Подождите...",
              L"error [Tolvex] Нет свободной буквы диска для подключения образа!", L"exit 1"}));
}

TEST_F(Machine, SecondLineSelectedUsesTheSecondName) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.AddFile(L"C:\\Games\\b.iso");
  Create();
  form.Select(1);
  os.events.clear();
  EXPECT_EQ(Click(), 0);
  EXPECT_EQ(os.events[3],
            L"shell C:\\T\\KORVEL\\TOLVEX\\x64\\imdisk.exe -a -f \"C:\\Games\\b.iso\" -m F:");
}

TEST_F(Machine, DoubleClickIsTheButton) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.AddFile(L"C:\\Games\\b.iso");
  Create();
  os.events.clear();
  try {
    Form1.ListBox1DblClick();
  } catch (const platform::FakeExit& exit) {
    EXPECT_EQ(exit.code, 0u);
  }
  EXPECT_EQ(os.events.back(), L"exit 0");
  EXPECT_EQ(os.events[2], kInstall);
}

TEST_F(Machine, NoSelectionDoesNothing) {
  EXPECT_EQ(Click(), -1);
  form.items = {L"a.iso"};
  EXPECT_EQ(Click(), -1);
  EXPECT_TRUE(os.events.empty());
  EXPECT_TRUE(form.enabled);
}

TEST(FindEmptyDisk, FirstLetterFromDWithNothingMounted) {
  FakeOs os;
  os.driveTypes = {{L"C:", 3}, {L"D:", 5}, {L"E:", 2}};
  EXPECT_EQ(app::FindEmptyDisk(os), L"F:");
  os.driveTypes = {{L"D:", 0}};  // unknown type is not "no root"
  EXPECT_EQ(app::FindEmptyDisk(os), L"E:");
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) os.driveTypes[{letter, L':'}] = 3;
  os.driveTypes[L"A:"] = os.driveTypes[L"B:"] = 1;  // A: and B: are never taken
  EXPECT_EQ(app::FindEmptyDisk(os), L"");
}

struct ArchCase {
  const wchar_t* windir;  // nullptr: not set
  bool sysWow64;
  const wchar_t* arch;
};

class WinArch : public Machine, public testing::WithParamInterface<ArchCase> {};

TEST_P(WinArch, FollowsSysWow64) {
  os.AddFile(L"C:\\Games\\a.iso");
  os.AddFile(L"C:\\Games\\b.iso");
  os.environment.erase(L"WINDIR");
  if (GetParam().windir) os.environment[L"WINDIR"] = GetParam().windir;
  if (!GetParam().sysWow64) os.Find(L"C:\\Windows\\SysWOW64")->path = L"C:\\Windows\\gone";
  os.AddFolder(L"\\SysWOW64x");  // the current drive's root holds no SysWOW64
  Create();
  EXPECT_EQ(Form1.WinArch, GetParam().arch);
}

INSTANTIATE_TEST_SUITE_P(Systems, WinArch,
                         testing::Values(ArchCase{L"C:\\Windows", true, L"64"},
                                         ArchCase{L"C:\\Windows", false, L"86"},
                                         ArchCase{nullptr, true, L"86"}));

TEST(Commands, TextsAsJoined) {
  EXPECT_EQ(app::DeleteWorkFolderParameters(L"C:\\T"), L"/d /c rd \"C:\\T\\KORVEL\\TOLVEX\" /s /q");
  EXPECT_EQ(app::ControlProgram(L"C:\\T", L"86"), L"C:\\T\\KORVEL\\TOLVEX\\x86\\imdisk.exe");
  EXPECT_EQ(app::AttachParameters(L"C:\\G\\a b.iso", L"F:"), L"-a -f \"C:\\G\\a b.iso\" -m F:");
  EXPECT_EQ(app::DetachParameters(L"F:"), L"-D -m F:");
  EXPECT_EQ(app::ImageProgram(L"F:"), L"F:\\KORVEL\\Vimbrel.exe");
  // temp not set: everything starts at the current drive's root.
  EXPECT_EQ(app::WorkFolder(L""), L"\\KORVEL\\TOLVEX");
}

// Each path has its own quotes; what cmd.exe would still expand inside them is
// taken out of the argument the script never reads.
TEST(Commands, InstallCarriesHostileNamesAsText) {
  struct Case {
    const wchar_t* temp;
    const wchar_t* image;
    const wchar_t* parameters;
  } cases[] = {
      {L"C:\\T", L"C:\\G\\a&mkdir pwned&.iso",
       L"/d /v:off /c \"\"C:\\T\\KORVEL\\TOLVEX\\install.cmd\" \"C:\\G\\a&mkdir pwned&.iso\"\""},
      {L"C:\\Documents and Settings\\Temp", L"C:\\G (x)\\^a!.iso",
       L"/d /v:off /c \"\"C:\\Documents and Settings\\Temp\\KORVEL\\TOLVEX\\install.cmd\" "
       L"\"C:\\G (x)\\^a!.iso\"\""},
      {L"C:\\T", L"C:\\G\\50%PATH%.iso",
       L"/d /v:off /c \"\"C:\\T\\KORVEL\\TOLVEX\\install.cmd\" \"C:\\G\\50_PATH_.iso\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(app::InstallParameters(c.temp, c.image), c.parameters);
}

TEST(ApplicationTitle, NameCutAtTheFirstFullStopLowerCasedAfterTheFirstLetter) {
  EXPECT_EQ(app::ApplicationTitle(L"C:\\Games\\TOLVEX.exe"), L"Tolvex");
  EXPECT_EQ(app::ApplicationTitle(L"E:\\my.launcher.exe"), L"my");
  EXPECT_EQ(app::ApplicationTitle(L"C:\\ЗАПУСК.EXE"), L"Запуск");
}

TEST(ErrorBoxText, FullStopOnlyAfterACharacterAboveIt) {
  EXPECT_EQ(app::ErrorBoxText(L"Stream write error"), L"Stream write error.");
  EXPECT_EQ(app::ErrorBoxText(L"Done."), L"Done.");
  EXPECT_EQ(app::ErrorBoxText(L"Нет буквы!"), L"Нет буквы!");
  EXPECT_EQ(app::ErrorBoxText(L"Ошибка"), L"Ошибка.");
  EXPECT_EQ(app::ErrorBoxText(L"a-"), L"a-");
  EXPECT_EQ(app::ErrorBoxText(L""), L"");
}

}  // namespace
