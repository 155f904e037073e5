// Runs this very test program again as a child process, to check what
// another process sees (environment-configured joysticks, debug output from
// a second process, pipe clients in another process).
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Runs this program with `--gtest_also_run_disabled_tests
// --gtest_filter=<filter>` and the extra environment variables, waits at
// most timeoutMs, and returns its exit code (or -1 when it could not be
// started, -2 when it did not end in time; it is then killed). *pid gets
// the child's process id when given.
int RunSelf(const std::string &filter, const std::vector<std::pair<std::string, std::string>> &env,
            DWORD timeoutMs = 30000, DWORD *pid = nullptr);
