#include "Json.h"

#include <windows.h>

#include <cstdio>

namespace inspector {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

void Json::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_ += ',';
  first_.back() = false;
}

Json& Json::BeginObject() {
  Separate();
  out_ += '{';
  first_.push_back(true);
  return *this;
}

Json& Json::EndObject() {
  out_ += '}';
  first_.pop_back();
  return *this;
}

Json& Json::BeginArray() {
  Separate();
  out_ += '[';
  first_.push_back(true);
  return *this;
}

Json& Json::EndArray() {
  out_ += ']';
  first_.pop_back();
  return *this;
}

Json& Json::Key(const char* name) {
  Separate();
  out_ += '"';
  out_ += name;  // the inspector's own keys: plain ASCII, nothing to escape
  out_ += "\":";
  afterKey_ = true;
  return *this;
}

Json& Json::String(const std::wstring& value) {
  Separate();
  out_ += '"';
  for (const char c : ToUtf8(value)) {
    if (c == '"' || c == '\\') {
      out_ += '\\';
      out_ += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out_ += escaped;
    } else {
      out_ += c;
    }
  }
  out_ += '"';
  return *this;
}

Json& Json::Int(long long value) {
  Separate();
  out_ += std::to_string(value);
  return *this;
}

Json& Json::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  return *this;
}

Json& Json::Null() {
  Separate();
  out_ += "null";
  return *this;
}

}  // namespace inspector
