// tests/support/alloc_counter.h -- counts every operator new and delete in the program, so that
// a test or benchmark can tell whether a stretch of frames touched the heap.
#pragma once

#include <cstdint>

struct HeapCounts {
    uint64_t allocations;
    uint64_t releases;
    uint64_t Live() const { return allocations - releases; }
};

HeapCounts CurrentHeapCounts();
// Resident memory of the process in KiB, from /proc/self/statm; 0 where that is unavailable.
uint64_t ResidentKiB();
