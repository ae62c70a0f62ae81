#include "core/FreeMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace FreeMemory {

void giveBackFreedHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace FreeMemory
