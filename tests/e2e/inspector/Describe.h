// The `list` report: every top-level window with its child controls.
#pragma once

#include <string>

namespace inspector {

std::string DescribeWindows();

}  // namespace inspector
