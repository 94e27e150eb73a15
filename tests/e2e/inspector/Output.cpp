#include "Output.h"

#include <windows.h>

namespace inspector {

namespace {

void WriteAll(DWORD which, const std::string& bytes) {
  const HANDLE out = ::GetStdHandle(which);
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                     nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

}  // namespace

void WriteOut(const std::string& bytes) { WriteAll(STD_OUTPUT_HANDLE, bytes); }
void WriteErr(const std::string& bytes) { WriteAll(STD_ERROR_HANDLE, bytes); }

std::string ReadIn() {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
  return bytes;
}

}  // namespace inspector
