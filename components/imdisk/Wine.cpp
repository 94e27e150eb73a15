#include "imdisk/Wine.h"

#include <windows.h>

#include "common/Handle.h"
#include "common/Text.h"

namespace imdisk::wine {
namespace {

// Both return memory from the process heap that the caller frees.
using UnixFileName = char*(__cdecl*)(const wchar_t*);
using DosFileName = wchar_t*(__cdecl*)(const char*);

template <typename T>
T Export(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);  // loaded in every process, never freed
  return handle ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(handle, name)))
                : nullptr;
}

// Frees what Wine's name functions allocate.
template <typename T>
class HeapText {
 public:
  explicit HeapText(T* text) : text_(text) {}
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;
  ~HeapText() {
    if (text_) HeapFree(GetProcessHeap(), 0, text_);
  }
  T* Get() const { return text_; }

 private:
  T* text_;
};

// Quotes one argument for the command line Wine splits back into argv.
std::wstring Quote(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

bool Detected() { return Export<FARPROC>(L"ntdll.dll", "wine_get_version") != nullptr; }

std::string UnixPath(const std::wstring& path) {
  auto to_unix = Export<UnixFileName>(L"kernel32.dll", "wine_get_unix_file_name");
  if (!to_unix) return {};
  HeapText<char> name(to_unix(path.c_str()));
  return name.Get() ? std::string(name.Get()) : std::string();
}

bool RemoveTree(const std::wstring& folder) {
  auto to_dos = Export<DosFileName>(L"kernel32.dll", "wine_get_dos_file_name");
  std::string unix_folder = UnixPath(folder);
  if (!to_dos || unix_folder.empty()) return false;
  // Wine starts a Unix executable named in CreateProcess like a Windows one.
  HeapText<wchar_t> rm(to_dos("/bin/rm"));
  if (!rm.Get()) return false;
  std::wstring command = L"rm -rf -- " + Quote(comp::FromUtf8(unix_folder));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(rm.Get(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  // Wine runs a Unix program outside its own process list and hands back no
  // handles to wait on: watch for the folder to go instead.
  comp::Handle process(info.hProcess);
  comp::Handle thread(info.hThread);
  for (int waited = 0; waited < 10000; waited += 50) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace imdisk::wine
