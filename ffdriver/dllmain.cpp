#include <windows.h>
#include <objbase.h>

#include "ffdriver/ffmodule.h"

BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD dwReason, LPVOID lpReserved)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(hinstDLL);
        // Without the shared table the driver cannot work: refuse to load.
        return FFDriver_ProcessAttach(hinstDLL);
    case DLL_PROCESS_DETACH:
        FFDriver_ProcessDetach(lpReserved != nullptr);
        return TRUE;
    default:
        return TRUE;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv)
{
    return FFDriver_GetClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return FFDriver_CanUnloadNow();
}
