#include "heap.h"

#include <stdlib.h>

namespace dedo {

void* ResizeBlock(void* block, size_t size) { return realloc(block, size); }
void FreeBlock(void* block) { free(block); }

}  // namespace dedo
