// Says, when the tests of a run are over, how many faults they injected.
#include <gtest/gtest.h>

#include <cstdio>

#include "fake_platform.h"
#include "test_heap.h"

namespace {

class FaultReport : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("faults injected: %zu failed platform calls, %zu refused allocations\n",
                    dedo::FakePlatform::InjectedFailures(), test_heap::Refusals());
    }
};

::testing::Environment* const kReport = ::testing::AddGlobalTestEnvironment(new FaultReport);

}  // namespace
