#include "controlpanel/classfactory.h"

#include <new>

#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"

CClassFactory::CClassFactory() : m_cRef(0)
{
    AddRef();
    InterlockedIncrement(&g_cServerLocks);
}

CClassFactory::~CClassFactory()
{
    InterlockedDecrement(&g_cServerLocks);
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    *ppv = nullptr;
    if (IsEqualGUIDBytes(riid, IID_IUnknown) || IsEqualGUIDBytes(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        static_cast<IClassFactory *>(*ppv)->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    LONG n = InterlockedDecrement(&m_cRef);
    if (n != 0) return static_cast<ULONG>(n);
    delete this;
    return 0;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv)
{
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;

    CPropertySheetObject *pSheet = new (std::nothrow) CPropertySheetObject();
    if (!pSheet) return E_OUTOFMEMORY;

    HRESULT hr = pSheet->Initialize();
    if (FAILED(hr)) {
        OutputDebugStringA("Property sheet object initialization failed\n");
        pSheet->Release();
        return hr;
    }

    // The host ends up with the only reference; a refused interface lets this
    // Release destroy the object again.
    hr = pSheet->QueryInterface(riid, ppv);
    pSheet->Release();
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        InterlockedIncrement(&g_cServerLocks);
    else
        InterlockedDecrement(&g_cServerLocks);
    return S_OK;
}
