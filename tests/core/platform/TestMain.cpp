// The platform tests re-run this executable as a child process (a second
// client instance, a program for the process runner), so it brings its own
// main(): "--child <mode> ..." runs a child mode, anything else runs the
// tests.

#include <gtest/gtest.h>

#include <cstring>

#include "ChildModes.h"

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        return corvina::test::RunChildMode(argc - 2, argv + 2);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
