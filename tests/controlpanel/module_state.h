// What DllMain sets up, for test programs that link the server's code
// statically: the module lock, and the built DLL (beside the test program)
// loaded as a resource module so that strings, templates and the icon are
// the shipped ones.
#pragma once

#include <windows.h>

#include "controlpanel/module.h"

inline bool EnsureModuleState()
{
    static bool s_done = false;
    if (!s_done) {
        InitializeCriticalSection(&g_csDirectInput);
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        while (n > 0 && path[n - 1] != '\\' && path[n - 1] != '/') --n;
        lstrcpyA(path + n, "tavrelusbcp.dll");
        g_hInstance = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        s_done = true;
    }
    return g_hInstance != nullptr;
}
