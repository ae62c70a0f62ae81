#include "core/FreeMemory.h"

// <malloc.h> is what tells a glibc build from others (it brings <features.h>,
// which defines __GLIBC__); the test below would be false without it.
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace FreeMemory {

bool giveBackFreedHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
    return true;
#else
    return false;
#endif
}

bool reuseFreedHeap()
{
#if defined(__GLIBC__)
    constexpr int kLargestReused = 4 * 1024 * 1024;
    constexpr int kFreeTopKept = 8 * 1024 * 1024;
    return mallopt(M_MMAP_THRESHOLD, kLargestReused) == 1 &&
           mallopt(M_TRIM_THRESHOLD, kFreeTopKept) == 1;
#else
    return false;
#endif
}

} // namespace FreeMemory
