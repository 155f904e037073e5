// The control-panel server's class factory. A new one is made for every
// successful DllGetClassObject; each live factory holds one server lock.
#pragma once

#include <windows.h>
#include <unknwn.h>

class CClassFactory final : public IClassFactory {
public:
    CClassFactory();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    ~CClassFactory();
    CClassFactory(const CClassFactory &) = delete;
    CClassFactory &operator=(const CClassFactory &) = delete;

    LONG m_cRef;
};
