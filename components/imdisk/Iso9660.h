// The directory tree of an ISO 9660 image.
//
// Names come from the Joliet supplementary descriptor when the image has one
// (long, mixed-case Unicode names, as Windows shows them), else from the
// primary descriptor.  Version suffixes (";1") are dropped.  Every name is
// checked before anything is written: an image is refused rather than allowed
// to name a file outside its own tree ("..", "a\b", "C:").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imdisk/ImageFile.h"

namespace imdisk::iso {

struct Extent {
  std::uint64_t offset = 0;  // bytes from the start of the image
  std::uint32_t length = 0;
};

struct Entry {
  std::wstring path;  // relative to the root, '\'-separated
  bool directory = false;
  std::vector<Extent> data;  // a file's content in order (several for files of 4 GiB and more)
};

struct Tree {
  bool joliet = false;
  std::wstring volume_id;
  std::vector<Entry> entries;  // every folder comes before what it holds
};

// False with `error` set when the file is no ISO 9660 image or is damaged.
bool ReadTree(const ImageFile& image, Tree& tree, std::wstring& error);

}  // namespace imdisk::iso
