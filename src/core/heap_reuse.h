//===- core/heap_reuse.h - Memory freed by one document, kept for the next ===//
#pragma once

/// Makes the process keep the memory that one document's tables and buffers
/// took and gave back, so that the next document reuses it instead of
/// mapping fresh pages (each first touched at the cost of a page fault and
/// the kernel's zeroing). Call once, at the start of a program that runs
/// the engine. Where the C library offers no such settings, does nothing.
void KeepFreedMemoryForReuse();
