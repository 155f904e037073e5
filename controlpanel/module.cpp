// Module-wide state and the two COM exports. DllMain lives apart in
// dllmain.cpp so that tests can link everything else statically.
#include "controlpanel/module.h"

#include <new>
#include <objbase.h>

#include "controlpanel/classfactory.h"

HINSTANCE g_hInstance = nullptr;
LONG g_cServerLocks = 0;
CRITICAL_SECTION g_csDirectInput;

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    *ppv = nullptr;
    // The class is judged before the interface.
    if (!IsEqualGUIDBytes(rclsid, CLSID_ControlPanelServer)) return CLASS_E_CLASSNOTAVAILABLE;
    if (!IsEqualGUIDBytes(riid, IID_IClassFactory)) return E_NOINTERFACE;

    CClassFactory *pFactory = new (std::nothrow) CClassFactory();
    if (!pFactory) return E_OUTOFMEMORY;
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return g_cServerLocks == 0 ? S_OK : S_FALSE;
}
