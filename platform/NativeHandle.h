#pragma once
// The operating system's name for an open object (a descriptor here, a HANDLE on the other
// side), carried through the OS-neutral interfaces as a plain integer so that nothing above
// this folder needs a system header. kNoHandle stands for "none" on both.

#include <cstdint>

namespace dz {

using NativeHandle = std::intptr_t;
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace dz
