// payload_bench: how long the launcher's payload writer takes against plain
// writes of the same bytes.
//
//   payload_bench TOLVEX.EXE FOLDER ROUNDS
//
// TOLVEX.EXE is opened as data, the way a resource editor would, and the
// real payload::WritePayload writes its ten items from there; the plain
// writer puts the same ten blocks into files with CreateFileW, WriteFile and
// CloseHandle and nothing else.  Every write goes to a folder of its own under
// FOLDER (which must exist), made beforehand for both alike, and the two
// take turns going first so that neither always finds the disk warmed up.
//
// One line per round, "round <n> payload <ms> plain <ms>", then
// "median payload <ms> plain <ms>".  Exit code 0, 1 on a failed write,
// 2 on misuse.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/Payload.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Os.h"

namespace {

void Print(const char* text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)),
              &written, nullptr);
}

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Frees the module however the run ends.
class DataModule {
 public:
  explicit DataModule(const std::wstring& path)
      : module_(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  ~DataModule() {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

struct Block {
  std::wstring target;  // joined to the folder, as in the payload table
  const std::uint8_t* data;
  std::size_t size;
};

// The folder a writer gets: what start-up leaves for WritePayload, the work
// folder with its x86 and x64 folders, and nothing in them.
bool MakeFolders(const std::wstring& root) {
  for (const wchar_t* sub : {L"", L"\\KORVEL", L"\\KORVEL\\TOLVEX", L"\\KORVEL\\TOLVEX\\x86",
                             L"\\KORVEL\\TOLVEX\\x64"}) {
    if (!::CreateDirectoryW((root + sub).c_str(), nullptr)) return false;
  }
  return true;
}

bool WritePlain(const std::wstring& root, const std::vector<Block>& blocks) {
  for (const auto& block : blocks) {
    const platform::win32::UniqueFile file(::CreateFileW((root + block.target).c_str(),
                                                         GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!::WriteFile(file.get(), block.data, static_cast<DWORD>(block.size), &written, nullptr) ||
        written != block.size) {
      return false;
    }
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    Print("usage: payload_bench TOLVEX.EXE FOLDER ROUNDS\n");
    return 2;
  }
  const DataModule module(argv[1]);
  const std::wstring folder = argv[2];
  const int rounds = std::wcstol(argv[3], nullptr, 10);
  if (!module.get() || rounds < 1) {
    Print("payload_bench: cannot open the program, or no rounds\n");
    return 2;
  }

  platform::win32::Win32Os os(module.get());
  std::vector<Block> blocks;
  for (const auto& item : payload::kItems) {
    const auto resource = os.GetResource(payload::kResourceType, item.resourceName);
    if (!resource) {
      Print("payload_bench: the program carries no payload\n");
      return 2;
    }
    blocks.push_back({item.target, resource->data, resource->size});
  }

  std::vector<double> payloadTimes, plainTimes;
  char line[128];
  for (int round = 0; round < rounds; ++round) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L"\\%d", round);
    const std::wstring payloadRoot = folder + suffix + L"-payload";
    const std::wstring plainRoot = folder + suffix + L"-plain";
    if (!MakeFolders(payloadRoot) || !MakeFolders(plainRoot)) {
      Print("payload_bench: cannot make the round's folders\n");
      return 1;
    }
    double payloadMs = 0, plainMs = 0;
    for (int turn = 0; turn < 2; ++turn) {
      const bool payloadTurn = (turn == 0) == (round % 2 == 0);
      const double start = Now();
      const bool written =
          payloadTurn ? !payload::WritePayload(os, payloadRoot) : WritePlain(plainRoot, blocks);
      const double elapsed = Now() - start;
      if (!written) {
        Print("payload_bench: a write failed\n");
        return 1;
      }
      (payloadTurn ? payloadMs : plainMs) = elapsed;
    }
    payloadTimes.push_back(payloadMs);
    plainTimes.push_back(plainMs);
    std::snprintf(line, sizeof line, "round %d payload %.3f plain %.3f\n", round, payloadMs,
                  plainMs);
    Print(line);
  }
  std::snprintf(line, sizeof line, "median payload %.3f plain %.3f\n", Median(payloadTimes),
                Median(plainTimes));
  Print(line);
  return 0;
}
