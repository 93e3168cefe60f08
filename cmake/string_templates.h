// Included first in every C++ file (see CMakeLists.txt). The runtime's
// prebuilt std::string and std::wstring come as two objects of some 35 KB
// each, linked whole for a handful of members; -1 is the runtime's own switch
// that lets each file instantiate the members it uses instead, so that only
// those are linked.
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
