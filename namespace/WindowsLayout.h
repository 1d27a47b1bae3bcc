// The structures handed to the system by layout (native calls, privileges,
// access-control editor, property sheet, rebar, toolbar) are checked, while
// compiling, against the size and offsets Windows documents for the build's
// architecture: the 32-bit build cannot run here, so a layout unlike
// Windows' must stop its build instead of shipping.
#pragma once

#include <cstddef>

// The documented value for this build: the 32-bit one, then the 64-bit one.
#ifdef _WIN64
constexpr size_t WindowsLayout(size_t, size_t x64) { return x64; }
#else
constexpr size_t WindowsLayout(size_t x86, size_t) { return x86; }
#endif
