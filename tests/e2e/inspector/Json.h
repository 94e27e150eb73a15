// Just enough of a JSON writer for the inspector's reports: objects, arrays,
// strings (UTF-16 in, UTF-8 out), integers, booleans and null.
#pragma once

#include <string>
#include <vector>

namespace inspector {

class Json {
 public:
  Json& BeginObject();
  Json& EndObject();
  Json& BeginArray();
  Json& EndArray();
  Json& Key(const char* name);
  Json& String(const std::wstring& value);
  Json& Int(long long value);
  Json& Bool(bool value);
  Json& Null();

  const std::string& str() const { return out_; }

 private:
  // Writes the comma a value needs when it is not the first in its container.
  void Separate();

  std::string out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool afterKey_ = false;
};

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace inspector
