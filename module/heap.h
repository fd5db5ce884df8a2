// The library's only way to memory. The shipped library gets these from the
// C run-time (heap.cpp); the unit tests link their own, which counts every
// block and can refuse any chosen allocation.
#pragma once

#include <stddef.h>

namespace dedo {

// Like realloc: null block allocates, and a refusal answers null and leaves the block as it was.
void* ResizeBlock(void* block, size_t size);
void FreeBlock(void* block);

}  // namespace dedo
