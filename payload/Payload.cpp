#include "payload/Payload.h"

#include <algorithm>

namespace payload {

namespace {

// Closes the file however the write ends.
class OpenFile {
 public:
  OpenFile(platform::Os& os, platform::FileHandle file) : os_(os), file_(file) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() { os_.CloseFile(file_); }
  platform::FileHandle get() const { return file_; }

 private:
  platform::Os& os_;
  platform::FileHandle file_;
};

bool HoldsExactly(platform::Os& os, const std::wstring& path, const platform::Os::Resource& item) {
  if (!platform::FileExists(os, path)) return false;
  const auto bytes = os.ReadFile(path);
  return bytes && bytes->size() == item.size && std::equal(bytes->begin(), bytes->end(), item.data);
}

}  // namespace

std::wstring TrimSystemMessage(std::wstring message) {
  while (!message.empty() && (message.back() == L' ' || message.back() == L'\r' ||
                              message.back() == L'\n' || message.back() == L'.')) {
    message.pop_back();
  }
  return message;
}

platform::Failure ExtractResource(platform::Os& os, const std::wstring& type,
                                  const std::wstring& name, const std::wstring& target) {
  const auto item = os.GetResource(type, name);
  if (!item) return platform::Error{L"Resource " + name + L" not found"};

  std::wstring reason;
  const platform::FileHandle handle = os.CreateOrTruncate(target, reason);
  if (!handle) {
    return platform::Error{L"Cannot create file \"" + target + L"\". " + TrimSystemMessage(reason)};
  }
  OpenFile file(os, handle);
  if (!os.WriteFile(file.get(), item->data, item->size))
    return platform::Error{L"Stream write error"};
  return std::nullopt;
}

bool ForceDirectories(platform::Os& os, const std::wstring& path) {
  if (path.empty()) return false;
  if (platform::DirectoryExists(os, path)) return true;
  const auto slash = path.find_last_of(L'\\');
  // Stop at a drive ("C:") or at the top of a relative path.
  if (slash != std::wstring::npos && slash > 0) {
    const std::wstring parent = path.substr(0, slash);
    if (!(parent.size() == 2 && parent[1] == L':')) ForceDirectories(os, parent);
  }
  return os.MakeDirectory(path);
}

platform::Failure WritePayload(platform::Os& os, const std::wstring& temp) {
  for (const auto& entry : kItems) {
    const std::wstring target = temp + entry.target;
    const auto item = os.GetResource(kResourceType, entry.resourceName);
    if (item && HoldsExactly(os, target, *item)) continue;
    if (auto failure = ExtractResource(os, kResourceType, entry.resourceName, target))
      return failure;
  }
  return std::nullopt;
}

}  // namespace payload
