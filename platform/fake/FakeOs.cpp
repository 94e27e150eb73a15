#include "platform/fake/FakeOs.h"

#include <algorithm>

namespace platform {

namespace {

std::wstring ParentOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsDriveRoot(const std::wstring& path) { return path.size() == 2 && path[1] == L':'; }

}  // namespace

void FakeOs::AddFolder(const std::wstring& path, std::uint32_t attributes) {
  entries_.push_back({path, true, attributes | kAttrDirectory, {}, false, true});
}

void FakeOs::AddFile(const std::wstring& path, std::vector<std::uint8_t> bytes,
                     std::uint32_t attributes) {
  if (Entry* existing = Find(path)) {
    existing->bytes = std::move(bytes);
    return;
  }
  entries_.push_back({path, false, attributes, std::move(bytes), false, true});
}

FakeOs::Entry* FakeOs::Find(const std::wstring& path) {
  for (auto& entry : entries_) {
    if (entry.path == path) return &entry;
  }
  return nullptr;
}

ProcessHandle FakeOs::StartChild(const ShellRequest& request, int slicesToRun) {
  children.push_back({request, slicesToRun, false, false});
  return children.size();
}

std::wstring FakeOs::GetEnv(const std::wstring& name) {
  const auto it = environment.find(name);
  return it == environment.end() ? std::wstring() : it->second;
}

std::optional<std::uint32_t> FakeOs::FileAttributes(const std::wstring& path) {
  probes.push_back(path);
  if (const Entry* entry = Find(path)) return entry->attributes;
  return std::nullopt;
}

bool FakeOs::MakeDirectory(const std::wstring& path) {
  events.push_back(L"mkdir " + path);
  const std::wstring parent = ParentOf(path);
  if (Find(path) || (!IsDriveRoot(parent) && !parent.empty() && !Find(parent))) return false;
  AddFolder(path);
  return true;
}

bool FakeOs::MakeProtectedDirectory(const std::wstring& path) {
  const bool made = MakeDirectory(path);
  events.back() = L"mkdir protected " + path;
  return made;
}

bool FakeOs::IsTrustedDirectory(const std::wstring& path) {
  const Entry* entry = Find(path);
  return entry && entry->directory && entry->trusted;
}

std::optional<std::vector<FindEntry>> FakeOs::FindFiles(const std::wstring& pattern) {
  const std::wstring folder = ParentOf(pattern);
  if (unlistable.count(folder)) return std::nullopt;
  // Like the real call, the fake is loose about the mask (short names match
  // too): it hands back everything in the folder and leaves the filtering to
  // the caller.
  std::vector<FindEntry> found;
  for (const auto& entry : entries_) {
    if (ParentOf(entry.path) == folder) {
      found.push_back({entry.path.substr(folder.size() + 1), entry.attributes});
    }
  }
  return found;
}

std::optional<std::vector<std::uint8_t>> FakeOs::ReadFile(const std::wstring& path) {
  const Entry* entry = Find(path);
  if (!entry || entry->directory) return std::nullopt;
  return entry->bytes;
}

FileHandle FakeOs::CreateOrTruncate(const std::wstring& path, std::wstring& error) {
  events.push_back(L"create " + path);
  Entry* entry = Find(path);
  const std::wstring parent = ParentOf(path);
  if (entry && (entry->directory || entry->locked)) {
    error = L"Access is denied. \r\n";
    return 0;
  }
  if (!entry && !IsDriveRoot(parent) && !Find(parent)) {
    error = L"The system cannot find the path specified. \r\n";
    return 0;
  }
  if (!entry) {
    entries_.push_back({path, false, 0, {}, false, true});
    entry = &entries_.back();
  }
  entry->bytes.clear();
  open_[nextFile_] = path;
  ++openFiles;
  return nextFile_++;
}

bool FakeOs::WriteFile(FileHandle file, const std::uint8_t* data, std::size_t size) {
  Entry* entry = Find(open_.at(file));
  const std::size_t written = std::min(size, diskSpace);
  entry->bytes.insert(entry->bytes.end(), data, data + written);
  diskSpace -= written;
  return written == size;
}

void FakeOs::CloseFile(FileHandle file) {
  open_.erase(file);
  --openFiles;
}

std::optional<Os::Resource> FakeOs::GetResource(const std::wstring& type,
                                                const std::wstring& name) {
  const auto it = resources.find(name);
  if (type != L"RT_RCDATA" || it == resources.end()) return std::nullopt;
  return Resource{it->second.data(), it->second.size()};
}

unsigned FakeOs::DriveType(const std::wstring& root) {
  const auto it = driveTypes.find(root);
  return it == driveTypes.end() ? kDriveNoRootDir : it->second;
}

ProcessHandle FakeOs::Shell(const ShellRequest& request) {
  events.push_back(L"shell " + request.lpFile.value_or(L"") + L" " +
                   request.lpParameters.value_or(L"<null>"));
  return onShellExecute ? onShellExecute(request) : StartChild(request);
}

WaitResult FakeOs::Wait(ProcessHandle process, std::uint32_t) {
  if (process == 0 || process > children.size()) return WaitResult::Failed;
  Child& child = children[process - 1];
  if (child.closed || child.waitFails) return WaitResult::Failed;
  if (child.slicesToRun > 0) {
    --child.slicesToRun;
    return WaitResult::Timeout;
  }
  return WaitResult::Ended;
}

std::optional<unsigned> FakeOs::ExitCode(ProcessHandle process) {
  if (process == 0 || process > children.size()) return std::nullopt;
  const Child& child = children[process - 1];
  if (child.slicesToRun > 0) return std::nullopt;
  return child.exitCode;
}

bool FakeOs::AnyProcessRunsFrom(const std::wstring& folder) {
  auto it = runningFrom.find(folder);
  if (it == runningFrom.end() || it->second == 0) return false;
  --it->second;
  return true;
}

void FakeOs::CloseProcess(ProcessHandle process) {
  if (process > 0 && process <= children.size()) children[process - 1].closed = true;
}

void FakeOs::Sleep(std::uint32_t milliseconds) {
  events.push_back(L"sleep " + std::to_wstring(milliseconds));
  if (onSleep) onSleep();
}

void FakeOs::ProcessMessages() { ++messagePumps; }

void FakeOs::ShowMessage(const std::wstring& text, const std::wstring& title) {
  events.push_back(L"message [" + title + L"] " + text);
}

void FakeOs::ShowError(const std::wstring& text, const std::wstring& title) {
  events.push_back(L"error [" + title + L"] " + text);
}

void FakeOs::ExitProcess(unsigned code) {
  events.push_back(L"exit " + std::to_wstring(code));
  throw FakeExit{code};
}

}  // namespace platform
