// The monitor tests' program. Run without arguments it runs the tests; the
// tests start it again as the process that loads the DLL.
#include <gtest/gtest.h>

#include <cstring>

#include "monitor_child.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], kMonitorChildOption) == 0) return monitorChild(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
