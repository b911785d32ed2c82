#include "foundation/UXProcessMemory.h"

#include <cstdlib> // defines __GLIBC__ on glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // Fixing the thresholds also stops glibc from moving them: blocks up to 32 MiB (the records of a
    // large list, the bytes of its pages) come from the heap, where they are reused.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}
