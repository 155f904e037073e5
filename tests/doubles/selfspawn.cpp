#include "tests/doubles/selfspawn.h"

#include <cstring>

namespace {

// Environment block of this process with `extra` set (replacing variables
// of the same name, case-insensitively as Windows compares them).
std::vector<char> MakeEnvironment(const std::vector<std::pair<std::string, std::string>> &extra)
{
    std::vector<char> block;
    char *env = GetEnvironmentStringsA();
    for (const char *p = env; p && *p; p += strlen(p) + 1) {
        bool replaced = false;
        for (const auto &kv : extra) {
            if (_strnicmp(p, kv.first.c_str(), kv.first.size()) == 0 && p[kv.first.size()] == '=') replaced = true;
        }
        if (!replaced) block.insert(block.end(), p, p + strlen(p) + 1);
    }
    if (env) FreeEnvironmentStringsA(env);
    for (const auto &kv : extra) {
        std::string s = kv.first + "=" + kv.second;
        block.insert(block.end(), s.begin(), s.end());
        block.push_back(0);
    }
    block.push_back(0);
    return block;
}

} // namespace

int RunSelf(const std::string &filter, const std::vector<std::pair<std::string, std::string>> &env,
            DWORD timeoutMs, DWORD *pid)
{
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return -1;
    std::string cmd = std::string("\"") + exe + "\" --gtest_also_run_disabled_tests --gtest_filter=" + filter;
    std::vector<char> cmdBuf(cmd.begin(), cmd.end());
    cmdBuf.push_back(0);
    std::vector<char> block = MakeEnvironment(env);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe, cmdBuf.data(), nullptr, nullptr, FALSE, 0, block.data(), nullptr, &si, &pi)) return -1;
    if (pid) *pid = pi.dwProcessId;
    int rc;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
        rc = -2;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        rc = (int)code;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return rc;
}
