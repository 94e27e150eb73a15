// Forced into every TOLVEX.exe source (-include).  The standard library ships
// ready-made instantiations of std::wstring and friends, built with
// exceptions; using them would drag the unwinder and the exception runtime
// into a program built without exceptions.  Instantiating the templates here
// instead, with this build's flags, keeps them out.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
