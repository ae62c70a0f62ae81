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

} // namespace FreeMemory
