// Module-wide state of the effect driver: instance, module count, class
// factory, the exports' bodies and the debugger output.
#pragma once

#include <windows.h>
#include <objbase.h>

// {3F6B2D90-7C14-4A85-B1E3-95D0C7A42F18}
extern const GUID CLSID_TavrelEffectDriver;

extern HINSTANCE g_hInstance;
extern volatile LONG g_cModuleRefs;

// "VIZIDIVU:" and the formatted text as one debugger line of at most 512
// bytes with its terminating zero; longer text is cut. Returns the length of
// the text written after the prefix.
int DebugPrint(const char *pszFormat, ...);

// What DllMain does, callable from tests that link the library directly.
// Attach returns FALSE when the shared table cannot be attached.
BOOL FFDriver_ProcessAttach(HINSTANCE hinst);
// bTerminating: the process is ending (DllMain's reserved argument set).
void FFDriver_ProcessDetach(BOOL bTerminating);

HRESULT FFDriver_GetClassObject(REFCLSID rclsid, REFIID riid, void **ppv);
HRESULT FFDriver_CanUnloadNow();

struct CClassFactory;
struct CClassFactoryVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(CClassFactory *This, REFIID riid, void **ppv);
    ULONG(STDMETHODCALLTYPE *AddRef)(CClassFactory *This);
    ULONG(STDMETHODCALLTYPE *Release)(CClassFactory *This);
    HRESULT(STDMETHODCALLTYPE *CreateInstance)(CClassFactory *This, IUnknown *pUnkOuter, REFIID riid, void **ppv);
    HRESULT(STDMETHODCALLTYPE *LockServer)(CClassFactory *This, BOOL fLock);
};
// The one factory has no count of its own: its references are module
// references.
struct CClassFactory {
    const CClassFactoryVtbl *lpVtbl;
};
extern CClassFactory g_ClassFactory;

HRESULT STDMETHODCALLTYPE CClassFactory_QueryInterface(CClassFactory *This, REFIID riid, void **ppv);
ULONG STDMETHODCALLTYPE CClassFactory_AddRef(CClassFactory *This);
ULONG STDMETHODCALLTYPE CClassFactory_Release(CClassFactory *This);
HRESULT STDMETHODCALLTYPE CClassFactory_CreateInstance(CClassFactory *This, IUnknown *pUnkOuter, REFIID riid, void **ppv);
HRESULT STDMETHODCALLTYPE CClassFactory_LockServer(CClassFactory *This, BOOL fLock);
