#include "app/ImageList.h"

namespace app {

namespace {

wchar_t FoldAsciiLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

// The listing API refuses folders this long before it touches the disk.
constexpr std::size_t kMaxFolderLength = 248;

}  // namespace

bool MatchesIsoMask(const std::wstring& name) {
  static const std::wstring kSuffix = L".iso";
  if (name.size() < kSuffix.size()) return false;
  const std::size_t start = name.size() - kSuffix.size();
  for (std::size_t i = 0; i < kSuffix.size(); ++i) {
    if (FoldAsciiLetter(name[start + i]) != kSuffix[i]) return false;
  }
  return true;
}

std::size_t Utf16Length(const std::wstring& text) {
  // Only where wchar_t is wider than UTF-16 can a character need two units.
  std::size_t units = 0;
  for (wchar_t c : text) units += (static_cast<unsigned long>(c) >> 16) ? 2 : 1;
  return units;
}

std::size_t LongestNameIndex(const std::vector<std::wstring>& names) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (Utf16Length(names[i]) > Utf16Length(names[best])) best = i;
  }
  return best;
}

platform::Failure ListImages(platform::Os& os, const std::wstring& folder,
                             std::vector<std::wstring>& images) {
  images.clear();
  if (folder.size() >= kMaxFolderLength) return platform::Error{L"The specified path is too long"};
  std::wstring pattern = folder;
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L"*.iso";

  const auto entries = os.FindFiles(pattern);
  if (!entries) return std::nullopt;
  for (const auto& entry : *entries) {
    if (entry.attributes & platform::kAttrDirectory) continue;
    if (MatchesIsoMask(entry.name)) images.push_back(entry.name);
  }
  return std::nullopt;
}

}  // namespace app
