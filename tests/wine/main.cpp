// The Wine test host. Run without arguments it runs the tests; the tests
// start it again as a child ("--child <task> ...") when a second process
// must hold a DLL at the same time as the first.
#include <gtest/gtest.h>

#include <cstring>

#include "child_tasks.h"

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return runChildTask(argc - 2, argv + 2);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
