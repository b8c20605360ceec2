#include "memory_tuning.h"

#include <malloc.h>

void keep_freed_memory() {
    // Below this size allocations come from the heap, which is reused, not from fresh mappings.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    // Freed memory at the top of the heap stays there up to this much.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}
