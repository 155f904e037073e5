// Module entry of the control-panel server (DLL build only).
#include <windows.h>

#include "controlpanel/module.h"

BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID)
{
    switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
        g_hInstance = hinstDLL;
        InitializeCriticalSection(&g_csDirectInput);
        OutputDebugStringA("CPL DLL Attach");
        OutputDebugStringA(GetCommandLineA());
        break;
    case DLL_PROCESS_DETACH:
        OutputDebugStringA("CPL DLL Detach");
        DeleteCriticalSection(&g_csDirectInput);
        break;
    default:
        break;
    }
    return TRUE;
}
