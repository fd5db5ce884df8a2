// The unit tests' heap: it counts the library's blocks and can refuse a chosen allocation.
#pragma once

#include <cstddef>

namespace test_heap {

// Forgets the counts and any planned refusal.
void Reset();
// The n-th allocation from now (1 = the next one) is refused; 0 refuses none.
void RefuseAllocation(size_t n);
// Allocations asked for since Reset (a growth counts as one).
size_t Allocations();
// Allocations refused since the process started, for the sweeps' report.
size_t Refusals();
// Blocks the library holds now.
size_t LiveBlocks();

}  // namespace test_heap
