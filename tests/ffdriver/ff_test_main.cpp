// The driver library's tests attach to the shared table as the DLL would at
// load. "--child=<role>" runs one of the child roles of the multi-process
// tests instead of the tests.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "ffdriver/ffmodule.h"
#include "tests/ffdriver/ff_test_util.h"

int main(int argc, char **argv)
{
    if (!FFDriver_ProcessAttach(GetModuleHandleA(nullptr))) {
        fprintf(stderr, "cannot attach the effect table\n");
        return 3;
    }
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--child=", 8) == 0) return RunChildRole(argv[i] + 8, argc - i - 1, argv + i + 1);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
