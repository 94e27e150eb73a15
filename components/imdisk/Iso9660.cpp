#include "imdisk/Iso9660.h"

#include <windows.h>

#include <set>

namespace imdisk::iso {
namespace {

// Descriptors and directory sectors are 2048 bytes on every ISO 9660 medium;
// only the block unit of extent addresses may differ.
constexpr std::uint32_t kSector = 2048;
constexpr std::uint64_t kFirstDescriptor = 16;
constexpr int kMaxDescriptors = 64;
// Limits that only a damaged or hostile image reaches: they keep a bad image
// from exhausting the stack or memory.
constexpr int kMaxDepth = 100;
constexpr std::size_t kMaxEntries = 1000000;
constexpr std::uint32_t kMaxDirectoryBytes = 64u << 20;

constexpr BYTE kFlagDirectory = 0x02;
constexpr BYTE kFlagMoreExtents = 0x80;
constexpr std::size_t kRecordHeader = 33;  // fixed part of a directory record

std::uint16_t Le16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const BYTE* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Joliet strings are UCS-2 big-endian; primary ones single bytes.
std::wstring DecodeText(const BYTE* bytes, std::size_t length, bool joliet) {
  std::wstring text;
  if (joliet) {
    for (std::size_t i = 0; i + 1 < length; i += 2) {
      text += static_cast<wchar_t>(bytes[i] << 8 | bytes[i + 1]);
    }
  } else {
    for (std::size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(bytes[i]);
  }
  return text;
}

std::wstring TrimRight(std::wstring text) {
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\0')) text.pop_back();
  return text;
}

// "NAME.EXT;1" -> "NAME.EXT"; "README." -> "README" (a primary name without
// extension keeps its dot, which Win32 would drop anyway).
std::wstring CleanName(std::wstring name) {
  std::size_t semicolon = name.rfind(L';');
  if (semicolon != std::wstring::npos &&
      name.find_first_not_of(L"0123456789", semicolon + 1) == std::wstring::npos) {
    name.resize(semicolon);
  }
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  return name;
}

bool SafeName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || wcschr(L"<>:\"/\\|?*", c)) return false;
  }
  return true;
}

struct Record {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  BYTE flags = 0;
  const BYTE* name = nullptr;
  std::size_t name_length = 0;
};

class Walker {
 public:
  Walker(const ImageFile& image, bool joliet, std::uint32_t block, Tree& tree, std::wstring& error)
      : image_(image), joliet_(joliet), block_(block), tree_(tree), error_(error) {}

  // Parses one directory record of `size` bytes at `p`.
  bool Parse(const BYTE* p, std::size_t size, Record& record) {
    if (size < kRecordHeader + 1 || p[0] < kRecordHeader + 1 || p[0] > size) {
      return Fail(L"a directory record is cut short");
    }
    record.name_length = p[32];
    if (kRecordHeader + record.name_length > p[0]) return Fail(L"a name overruns its record");
    if (p[26] != 0 || p[27] != 0) return Fail(L"interleaved files are not supported");
    // The extent starts with the extended attribute record, if any.
    record.offset = (static_cast<std::uint64_t>(Le32(p + 2)) + p[1]) * block_;
    record.length = Le32(p + 10);
    record.flags = p[25];
    record.name = p + kRecordHeader;
    if (record.offset > image_.Size() || record.length > image_.Size() - record.offset) {
      return Fail(L"an extent lies beyond the end of the image");
    }
    return true;
  }

  bool Directory(const Record& self, const std::wstring& prefix, int depth) {
    if (depth > kMaxDepth) return Fail(L"folders are nested too deeply");
    if (!visited_.insert(self.offset).second) return Fail(L"a folder contains itself");
    if (self.length > kMaxDirectoryBytes) return Fail(L"a folder is too large");
    std::vector<BYTE> data(self.length);
    if (!image_.ReadAt(self.offset, data.data(), self.length)) {
      return Fail(L"cannot read a folder");
    }

    std::set<std::wstring> seen;  // upper case: Windows names ignore case
    // The entry of a file whose next extent is still to come.
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t unfinished = kNone;
    std::wstring unfinished_name;
    std::size_t pos = 0;
    while (pos < data.size()) {
      if (data[pos] == 0) {
        // Records never straddle a sector: the rest of this one is padding.
        pos = (pos / kSector + 1) * kSector;
        continue;
      }
      Record record;
      if (!Parse(&data[pos], data.size() - pos, record)) return false;
      pos += data[pos];

      // The first two records are the folder itself and its parent.
      if (record.name_length == 1 && record.name[0] <= 1) continue;

      std::wstring name = CleanName(DecodeText(record.name, record.name_length, joliet_));
      if (!SafeName(name)) return Fail(L"an entry has an unusable name");

      if (unfinished != kNone) {
        if (name != unfinished_name || (record.flags & kFlagDirectory)) {
          return Fail(L"a file's extents are not together");
        }
        tree_.entries[unfinished].data.push_back({record.offset, record.length});
        if (!(record.flags & kFlagMoreExtents)) unfinished = kNone;
        continue;
      }

      if (!seen.insert(Upper(name)).second) return Fail(L"a folder names an entry twice");
      if (tree_.entries.size() >= kMaxEntries) return Fail(L"the image holds too many entries");

      std::wstring path = prefix.empty() ? name : prefix + L"\\" + name;
      if (record.flags & kFlagDirectory) {
        if (record.flags & kFlagMoreExtents) return Fail(L"a folder is split");
        tree_.entries.push_back({path, true, {}});
        if (!Directory(record, path, depth + 1)) return false;
        continue;
      }
      tree_.entries.push_back({path, false, {{record.offset, record.length}}});
      if (record.flags & kFlagMoreExtents) {
        unfinished = tree_.entries.size() - 1;
        unfinished_name = name;
      }
    }
    if (unfinished != kNone) return Fail(L"a file's last extent is missing");
    return true;
  }

  bool Fail(const wchar_t* what) {
    error_ = what;
    return false;
  }

 private:
  const ImageFile& image_;
  bool joliet_;
  std::uint32_t block_;
  Tree& tree_;
  std::wstring& error_;
  std::set<std::uint64_t> visited_;
};

bool IsJoliet(const BYTE* descriptor) {
  // The escape sequences %/@, %/C and %/E announce UCS-2 levels 1 to 3.
  const BYTE* escape = descriptor + 88;
  return escape[0] == '%' && escape[1] == '/' &&
         (escape[2] == '@' || escape[2] == 'C' || escape[2] == 'E');
}

}  // namespace

bool ReadTree(const ImageFile& image, Tree& tree, std::wstring& error) {
  BYTE primary[kSector];
  BYTE joliet[kSector];
  bool have_primary = false;
  bool have_joliet = false;
  for (int i = 0;; ++i) {
    BYTE descriptor[kSector];
    if (i == kMaxDescriptors ||
        !image.ReadAt((kFirstDescriptor + i) * kSector, descriptor, kSector)) {
      error = L"no ISO 9660 volume descriptors";
      return false;
    }
    if (memcmp(descriptor + 1, "CD001", 5) != 0) {
      error = L"not an ISO 9660 image";
      return false;
    }
    BYTE type = descriptor[0];
    if (type == 255) break;  // the set's terminator
    if (type == 1 && !have_primary) {
      memcpy(primary, descriptor, kSector);
      have_primary = true;
    } else if (type == 2 && !have_joliet && IsJoliet(descriptor)) {
      memcpy(joliet, descriptor, kSector);
      have_joliet = true;
    }
  }
  if (!have_primary) {
    error = L"the image has no primary volume descriptor";
    return false;
  }

  const BYTE* volume = have_joliet ? joliet : primary;
  std::uint32_t block = Le16(volume + 128);
  if (block != 512 && block != 1024 && block != 2048) {
    error = L"the image has an unusable block size";
    return false;
  }
  tree = Tree{};
  tree.joliet = have_joliet;
  tree.volume_id = TrimRight(DecodeText(volume + 40, 32, have_joliet));

  Walker walker(image, have_joliet, block, tree, error);
  Record root;
  const BYTE* root_record = volume + 156;
  if (root_record[0] != 34 || !walker.Parse(root_record, 34, root)) {
    if (error.empty()) error = L"the root folder record is damaged";
    return false;
  }
  if (!(root.flags & kFlagDirectory)) {
    error = L"the root is not a folder";
    return false;
  }
  return walker.Directory(root, L"", 0);
}

}  // namespace imdisk::iso
