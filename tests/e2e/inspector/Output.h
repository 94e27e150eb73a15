// The inspector's output goes out as raw bytes: under Wine the console code
// page is whatever the Unix locale makes it, and the reports are UTF-8.
#pragma once

#include <string>

namespace inspector {

void WriteOut(const std::string& bytes);
void WriteErr(const std::string& bytes);
// Everything on standard input, for texts too awkward for a command line.
std::string ReadIn();

}  // namespace inspector
