// Turning an image's tree into files in a folder, and taking them away again.
#pragma once

#include <string>

#include "imdisk/ImageFile.h"
#include "imdisk/Iso9660.h"

namespace imdisk {

// Creates `folder` (which must not exist) and writes every entry of `tree`
// into it.  False with `error` set on the first failure; the caller removes
// what was written so far.
bool Materialise(const ImageFile& image, const iso::Tree& tree, const std::wstring& folder,
                 std::wstring& error);

// Deletes `folder` and everything in it, as far as Windows lets us; true when
// nothing is left.  Files other programs hold open stay behind.
bool RemoveTree(const std::wstring& folder);

// `path` in the form that lifts the MAX_PATH limit: an image may nest deeper
// than 260 characters once it sits under our folder.
std::wstring LongPath(const std::wstring& path);

}  // namespace imdisk
