//===- core/heap_reuse.cpp - Memory freed by one document, kept for the next =//
#include "core/heap_reuse.h"

#include <cstdlib> // defines __GLIBC__ with the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // By default glibc gives blocks of 128 KiB and more mappings of their own,
  // unmapped when freed, and hands the free top of the heap back to the
  // system beyond a few megabytes: a document with a large directory or FAT
  // then pays a page fault for every 4 KiB of its tables and buffers, again
  // for each document of a run. Blocks up to 32 MiB come from the heap
  // instead, and up to 64 MiB of freed heap is kept for the next document;
  // larger blocks still get mappings of their own and go back when freed.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}
