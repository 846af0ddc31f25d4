// Checks of the simulated platform's basic services that every later test
// relies on.
#include <gtest/gtest.h>

#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"

TEST(SimulatedHeap, CountsLiveBlocksOfEachFamily) {
    sim::Counts before = sim::openCounts();
    void* heapBlock = platform::HeapAllocZero(16);
    char* text = platform::crtDuplicate("abc");
    ASSERT_NE(heapBlock, nullptr);
    ASSERT_STREQ(text, "abc");
    EXPECT_EQ(sim::openCounts().heapBlocks, before.heapBlocks + 1);
    EXPECT_EQ(sim::openCounts().crtBlocks, before.crtBlocks + 1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char*>(heapBlock)[i], 0);
    platform::HeapFreeBlock(heapBlock);
    platform::crtFree(text);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}
