// Which files in the program's folder count as images, and which of them is
// widest on screen.
#pragma once

#include <string>
#include <vector>

#include "platform/Os.h"

namespace app {

// Whole-name match against "*.iso": a-z fold case, every other character must
// be equal.  The system also matches masks against 8.3 short names (x.isox can
// come back for *.iso), so the listing filters the long names with this.
bool MatchesIsoMask(const std::wstring& name);

// Length in UTF-16 code units, whatever the host's wchar_t is.
std::size_t Utf16Length(const std::wstring& text);

// Index of the longest name; only a strictly longer name replaces the one
// remembered, so among equals the first wins.  0 for an empty list.
std::size_t LongestNameIndex(const std::vector<std::wstring>& names);

// Fills `images` with the image files of `folder` (no trailing backslash, a
// drive root keeps its own), in the order the file system enumerates them.
// Hidden and system files count, directories do not.  A folder that cannot
// be enumerated gives an empty list; one whose path is too long fails.
[[nodiscard]] platform::Failure ListImages(platform::Os& os, const std::wstring& folder,
                                           std::vector<std::wstring>& images);

}  // namespace app
