#include "ffdriver/ffmodule.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ffdriver/effect_driver.h"
#include "ffdriver/effect_table.h"
#include "ffdriver/output_thread.h"

const GUID CLSID_TavrelEffectDriver = {0x3F6B2D90, 0x7C14, 0x4A85, {0xB1, 0xE3, 0x95, 0xD0, 0xC7, 0xA4, 0x2F, 0x18}};

HINSTANCE g_hInstance = nullptr;
volatile LONG g_cModuleRefs = 0;

namespace {

const CClassFactoryVtbl g_ClassFactoryVtbl = {
    CClassFactory_QueryInterface, CClassFactory_AddRef, CClassFactory_Release,
    CClassFactory_CreateInstance, CClassFactory_LockServer,
};

const char kPrefix[] = "VIZIDIVU:";
const size_t kLineBytes = 512;

} // namespace

CClassFactory g_ClassFactory = {&g_ClassFactoryVtbl};

int DebugPrint(const char *pszFormat, ...)
{
    char szLine[kLineBytes];
    const size_t cchPrefix = sizeof(kPrefix) - 1;
    memcpy(szLine, kPrefix, cchPrefix);
    va_list args;
    va_start(args, pszFormat);
    // Some run-times return -1 on a cut and leave the buffer unterminated;
    // terminate it ourselves and measure what is there.
    vsnprintf(szLine + cchPrefix, kLineBytes - cchPrefix, pszFormat, args);
    va_end(args);
    szLine[kLineBytes - 1] = '\0';
    OutputDebugStringA(szLine);
    return static_cast<int>(strlen(szLine + cchPrefix));
}

BOOL FFDriver_ProcessAttach(HINSTANCE hinst)
{
    g_hInstance = hinst;
    DriverLock_Initialize();
    return EffectTable_Open();
}

void FFDriver_ProcessDetach(BOOL bTerminating)
{
    // At process end the other threads are gone, perhaps inside the lock:
    // leave everything to the system.
    if (bTerminating) return;
    // A running output thread still uses the table and the lock. (It pins
    // the module, so an unload cannot normally get here while one runs.)
    if (DeviceChannel_AnyThreadStarted()) return;
    EffectTable_Close();
    DriverLock_Delete();
}

HRESULT FFDriver_GetClassObject(REFCLSID rclsid, REFIID riid, void **ppv)
{
    if (memcmp(&rclsid, &CLSID_TavrelEffectDriver, sizeof(GUID)) == 0)
        return CClassFactory_QueryInterface(&g_ClassFactory, riid, ppv);
    if (ppv) *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT FFDriver_CanUnloadNow()
{
    return InterlockedCompareExchange(&g_cModuleRefs, 0, 0) == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CClassFactory_QueryInterface(CClassFactory *This, REFIID riid, void **ppv)
{
    DebugPrint("CClassFactory_QueryInterface\n");
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        CClassFactory_AddRef(This);
        *ppv = This;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CClassFactory_AddRef(CClassFactory *This)
{
    return static_cast<ULONG>(InterlockedIncrement(&g_cModuleRefs));
}

ULONG STDMETHODCALLTYPE CClassFactory_Release(CClassFactory *This)
{
    return static_cast<ULONG>(InterlockedDecrement(&g_cModuleRefs));
}

HRESULT STDMETHODCALLTYPE CClassFactory_CreateInstance(CClassFactory *This, IUnknown *pUnkOuter, REFIID riid,
                                                       void **ppv)
{
    DebugPrint("CClassFactory_CreateInstance\n");
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if (!ppv) return E_POINTER;
    CEffectDriver *p = CEffectDriver_Create();
    if (!p) {
        *ppv = nullptr;
        return E_OUTOFMEMORY;
    }
    // Never lowered again: output threads started for the object live until
    // the process ends, so the module must stay.
    InterlockedIncrement(&g_cModuleRefs);
    HRESULT hr = CEffectDriver_QueryInterface(p, riid, ppv);
    CEffectDriver_Release(p);
    return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory_LockServer(CClassFactory *This, BOOL fLock)
{
    if (fLock) InterlockedIncrement(&g_cModuleRefs);
    else InterlockedDecrement(&g_cModuleRefs);
    return S_OK;
}
