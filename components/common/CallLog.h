// One line per call, for tests that must see how a program was started.
//
// When the environment variable named by the caller holds a file name, the
// program appends one UTF-8 line (ended by CRLF) to it, made of `key=value`
// fields joined by '|':
//
//   exe=C:\path\prog.exe|args=<raw arguments>|cwd=C:\working\folder
//
// `args` is the command line exactly as received, minus the program name and
// the blanks after it, so quoting shows as the caller wrote it.  `cwd` always
// comes last; neither a module path nor a folder can hold '|', so a reader
// takes `exe` up to the first '|' and `cwd` after the last "|cwd=", and
// whatever lies between is `args`, even when the arguments hold a '|'.
#pragma once

#include <string>
#include <string_view>

namespace comp {

std::wstring RawArguments();
std::wstring ModulePath();
std::wstring CurrentFolder();
std::wstring EnvironmentVariable(const wchar_t* name);  // unset reads as ""

// The fields above in their order; `with_exe` leaves out the first one for
// logs whose readers expect to start at `args`.
std::wstring CallLine(bool with_exe);

// Appends `line` to the file named by `env_var`, if set.  Failing to log never
// stops the program: the log is a test aid, not part of its job.
void AppendLogLine(const wchar_t* env_var, std::wstring_view line);

}  // namespace comp
