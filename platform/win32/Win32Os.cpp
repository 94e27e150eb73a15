#include "platform/win32/Win32Os.h"

#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include "platform/Decimal.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

namespace {

HANDLE AsHandle(std::uintptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::uintptr_t AsValue(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

const wchar_t* TextOrNull(const std::optional<std::wstring>& text) {
  return text ? text->c_str() : nullptr;
}

}  // namespace

void FillShellExecuteInfo(const ShellRequest& request, SHELLEXECUTEINFOW& info) {
  info = SHELLEXECUTEINFOW{};
  info.cbSize = request.cbSize;
  info.fMask = request.fMask;
  info.hwnd = reinterpret_cast<HWND>(request.hwnd);
  info.lpVerb = TextOrNull(request.lpVerb);
  info.lpFile = TextOrNull(request.lpFile);
  info.lpParameters = TextOrNull(request.lpParameters);
  info.lpDirectory = TextOrNull(request.lpDirectory);
  info.nShow = request.nShow;
}

std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : L"System error " + Decimal(code);
  ::LocalFree(buffer);
  return text;
}

std::wstring Win32Os::ModuleFileName() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

std::wstring Win32Os::GetEnv(const std::wstring& name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return std::wstring();
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

std::optional<std::uint32_t> Win32Os::FileAttributes(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

bool Win32Os::MakeDirectory(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool Win32Os::MakeProtectedDirectory(const std::wstring& path) {
  // Owner: Administrators.  Protected DACL: Administrators and SYSTEM full
  // control, interactive users read and execute, inherited by everything
  // created inside.
  static const wchar_t kDescriptor[] =
      L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;IU)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kDescriptor, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const bool made = ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
  ::LocalFree(descriptor);
  return made;
}

namespace {

// The path as the file system resolves it, without the "\\?\" prefix; a link
// or junction anywhere on the way makes it differ from the path asked for.
std::wstring ResolvedPath(HANDLE file) {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD length = ::GetFinalPathNameByHandleW(file, buffer, MAX_PATH * 2,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= MAX_PATH * 2) return std::wstring();
  std::wstring path(buffer, length);
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + path.substr(7);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

std::wstring LongPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  const DWORD fullLength = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  if (fullLength == 0 || fullLength >= MAX_PATH * 2) return path;
  wchar_t longer[MAX_PATH * 2];
  const DWORD length = ::GetLongPathNameW(full, longer, MAX_PATH * 2);
  return length && length < MAX_PATH * 2 ? std::wstring(longer, length) : std::wstring(full);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The owner this process gives what it creates: the administrators for an
// elevated administrator.
bool IsDefaultOwner(PSID owner) {
  UniqueHandle token;
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  token.reset(raw);
  union {
    TOKEN_OWNER owner;
    BYTE bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)];
  } info;
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenOwner, &info, sizeof info, &size) &&
         ::EqualSid(owner, info.owner.Owner);
}

// Wine keeps no owners on files: every file reads back as owned by the one
// Unix user, so there the owner cannot tell anybody apart.
bool RunsOnWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace

bool Win32Os::IsTrustedDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  UniqueFile folder(::CreateFileW(path.c_str(), READ_CONTROL,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder || !SameText(ResolvedPath(folder.get()), LongPath(path))) return false;
  if (RunsOnWine()) return true;

  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted =
      owner && (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                ::IsWellKnownSid(owner, WinLocalSystemSid) || IsDefaultOwner(owner));
  ::LocalFree(descriptor);
  return trusted;
}

std::optional<std::vector<FindEntry>> Win32Os::FindFiles(const std::wstring& pattern) {
  WIN32_FIND_DATAW data;
  UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<FindEntry>();
    return std::nullopt;
  }
  std::vector<FindEntry> entries;
  do {
    entries.push_back({data.cFileName, data.dwFileAttributes});
  } while (::FindNextFileW(find.get(), &data));
  return entries;
}

std::optional<std::vector<std::uint8_t>> Win32Os::ReadFile(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 30)) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    return std::nullopt;
  }
  return bytes;
}

FileHandle Win32Os::CreateOrTruncate(const std::wstring& path, std::wstring& error) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemMessage(::GetLastError());
    return 0;
  }
  return AsValue(file);
}

bool Win32Os::WriteFile(FileHandle file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(AsHandle(file), data, static_cast<DWORD>(size), &written, nullptr) ||
        !written) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

void Win32Os::CloseFile(FileHandle file) { ::CloseHandle(AsHandle(file)); }

std::optional<Os::Resource> Win32Os::GetResource(const std::wstring& type,
                                                 const std::wstring& name) {
  const HRSRC info = ::FindResourceW(resources_, name.c_str(), type.c_str());
  if (!info) return std::nullopt;
  const HGLOBAL loaded = ::LoadResource(resources_, info);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  return Resource{static_cast<const std::uint8_t*>(data), ::SizeofResource(resources_, info)};
}

unsigned Win32Os::DriveType(const std::wstring& root) { return ::GetDriveTypeW(root.c_str()); }

ProcessHandle Win32Os::Shell(const ShellRequest& request) {
  SHELLEXECUTEINFOW info;
  FillShellExecuteInfo(request, info);
  if (!::ShellExecuteExW(&info)) return 0;
  return AsValue(info.hProcess);
}

WaitResult Win32Os::Wait(ProcessHandle process, std::uint32_t milliseconds) {
  switch (::WaitForSingleObject(AsHandle(process), milliseconds)) {
    case WAIT_OBJECT_0:
      return WaitResult::Ended;
    case WAIT_TIMEOUT:
      return WaitResult::Timeout;
    default:
      return WaitResult::Failed;
  }
}

std::optional<unsigned> Win32Os::ExitCode(ProcessHandle process) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(AsHandle(process), &code) || code == STILL_ACTIVE) return std::nullopt;
  return code;
}

bool Win32Os::AnyProcessRunsFrom(const std::wstring& folder) {
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.get(), 0, image, &length)) continue;
    if (length >= folder.size() &&
        ::CompareStringOrdinal(image, static_cast<int>(folder.size()), folder.c_str(),
                               static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

void Win32Os::CloseProcess(ProcessHandle process) { ::CloseHandle(AsHandle(process)); }

void Win32Os::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32Os::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit for the message loop that owns it.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    const HWND top = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top && ::IsDialogMessageW(top, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32Os::ShowMessage(const std::wstring& text, const std::wstring& title) {
  ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_TASKMODAL);
}

void Win32Os::ShowError(const std::wstring& text, const std::wstring& title) {
  ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void Win32Os::ExitProcess(unsigned code) { ::ExitProcess(code); }

}  // namespace platform::win32
