#pragma once
// Functions of system libraries that not every supported Windows has, looked up at run time.

#include <windows.h>

#include <type_traits>

namespace swiftsetup {

// The function of that name in library, or null, typed as the system declares it: Declared is
// decltype(::Function) of the system's own header, which carries its calling convention, so the
// 32-bit program can never call it the wrong way. This is the program's one call of
// GetProcAddress (tests/static/check_layers.py holds the tree to it).
template <typename Declared>
[[nodiscard]] Declared* systemFunction(HMODULE library, const char* name) {
    static_assert(std::is_function_v<Declared>, "the type of the system's declaration: decltype(::Function)");
    // GetProcAddress hands every function out as one type; void (*)() is the generic function
    // pointer type, the one cast that -Wcast-function-type lets through on the way.
    return reinterpret_cast<Declared*>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace swiftsetup
