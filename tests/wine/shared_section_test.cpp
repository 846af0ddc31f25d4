// The shared data section of the real platform layer: two processes that
// hold the same DLL at the same time see one pair of trace words.
#include <gtest/gtest.h>

#include "child_tasks.h"
#include "platform/kernel.h"
#include "platform/shared_words.h"

namespace {

using ProbeFn = volatile platform::TraceWords* (*)();

TEST(SharedSection, TwoProcessesHoldingTheDllSeeOneCounter) {
    platform::Module probe = platform::LoadLibraryA((programDirectory() + "shared_words_probe.dll").c_str());
    ASSERT_NE(probe, nullptr);
    auto probeFn = reinterpret_cast<ProbeFn>(platform::GetProcAddress(probe, "sharedWordsProbe"));
    ASSERT_NE(probeFn, nullptr);
    volatile platform::TraceWords* words = probeFn();

    words->fileCounter = 41;
    // The child reads the counter, reports it and advances it.
    EXPECT_EQ(runChild({"probe-counter"}), 41);
    EXPECT_EQ(words->fileCounter, 42);
    EXPECT_EQ(runChild({"probe-counter"}), 42);
    EXPECT_EQ(words->fileCounter, 43);
    words->fileCounter = 0;
    EXPECT_TRUE(platform::FreeLibrary(probe));
}

}  // namespace
