#include "test_heap.h"

#include <cstdlib>
#include <set>

#include "heap.h"

namespace test_heap {
namespace {
std::set<void*>& Live() {
    static std::set<void*> live;
    return live;
}
size_t allocations = 0;
size_t refuseAt = 0;
size_t refusals = 0;
}  // namespace

void Reset() {
    allocations = 0;
    refuseAt = 0;
}
void RefuseAllocation(size_t n) { refuseAt = n == 0 ? 0 : allocations + n; }
size_t Allocations() { return allocations; }
size_t Refusals() { return refusals; }
size_t LiveBlocks() { return Live().size(); }

}  // namespace test_heap

namespace dedo {

void* ResizeBlock(void* block, size_t size) {
    using namespace test_heap;
    ++allocations;
    if (allocations == refuseAt) {
        ++refusals;
        return nullptr;
    }
    void* grown = std::realloc(block, size);
    if (grown != nullptr) {
        Live().erase(block);
        Live().insert(grown);
    }
    return grown;
}

void FreeBlock(void* block) {
    if (block == nullptr) return;
    test_heap::Live().erase(block);
    std::free(block);
}

}  // namespace dedo
