// The driver object DirectInput talks to: thin wrappers around the effect
// table's operations on the device it was bound to.
#pragma once

#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

struct CEffectDriver;

struct CEffectDriverVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(CEffectDriver *This, REFIID riid, void **ppv);
    ULONG(STDMETHODCALLTYPE *AddRef)(CEffectDriver *This);
    ULONG(STDMETHODCALLTYPE *Release)(CEffectDriver *This);
    HRESULT(STDMETHODCALLTYPE *DeviceID)(CEffectDriver *This, DWORD dwDirectInputVersion, DWORD dwExternalID,
                                         DWORD fBegin, DWORD dwInternalID, LPVOID lpReserved);
    HRESULT(STDMETHODCALLTYPE *GetVersions)(CEffectDriver *This, LPDIDRIVERVERSIONS pvers);
    HRESULT(STDMETHODCALLTYPE *Escape)(CEffectDriver *This, DWORD dwID, DWORD dwEffect, LPDIEFFESCAPE pesc);
    HRESULT(STDMETHODCALLTYPE *SetGain)(CEffectDriver *This, DWORD dwID, DWORD dwGain);
    HRESULT(STDMETHODCALLTYPE *SendForceFeedbackCommand)(CEffectDriver *This, DWORD dwID, DWORD dwCommand);
    HRESULT(STDMETHODCALLTYPE *GetForceFeedbackState)(CEffectDriver *This, DWORD dwID, LPDIDEVICESTATE pds);
    HRESULT(STDMETHODCALLTYPE *DownloadEffect)(CEffectDriver *This, DWORD dwID, DWORD dwEffectID, LPDWORD pdwEffect,
                                               LPCDIEFFECT peff, DWORD dwFlags);
    HRESULT(STDMETHODCALLTYPE *DestroyEffect)(CEffectDriver *This, DWORD dwID, DWORD dwEffect);
    HRESULT(STDMETHODCALLTYPE *StartEffect)(CEffectDriver *This, DWORD dwID, DWORD dwEffect, DWORD dwMode,
                                            DWORD dwCount);
    HRESULT(STDMETHODCALLTYPE *StopEffect)(CEffectDriver *This, DWORD dwID, DWORD dwEffect);
    HRESULT(STDMETHODCALLTYPE *GetEffectStatus)(CEffectDriver *This, DWORD dwID, DWORD dwEffect, LPDWORD pdwStatus);
};

// Zero-filled from the local heap. The first field makes it usable as an
// IDirectInputEffectDriver.
struct CEffectDriver {
    const CEffectDriverVtbl *lpVtbl;
    volatile LONG m_cRef;
    DWORD m_dwDeviceIndex;
    DWORD m_dwJoystickId;
    BOOL m_bBound; // DeviceID accepted: the object holds a channel binding
};

extern const CEffectDriverVtbl g_EffectDriverVtbl;

// A new object with reference count 1, or null when memory is short.
CEffectDriver *CEffectDriver_Create();

// The slot kind of a DirectInput effect type id, KIND_NONE for an unknown id.
DWORD EffectKindOfId(DWORD dwEffectID);

HRESULT STDMETHODCALLTYPE CEffectDriver_QueryInterface(CEffectDriver *This, REFIID riid, void **ppv);
ULONG STDMETHODCALLTYPE CEffectDriver_AddRef(CEffectDriver *This);
ULONG STDMETHODCALLTYPE CEffectDriver_Release(CEffectDriver *This);
HRESULT STDMETHODCALLTYPE CEffectDriver_DeviceID(CEffectDriver *This, DWORD dwDirectInputVersion, DWORD dwExternalID,
                                                 DWORD fBegin, DWORD dwInternalID, LPVOID lpReserved);
HRESULT STDMETHODCALLTYPE CEffectDriver_GetVersions(CEffectDriver *This, LPDIDRIVERVERSIONS pvers);
HRESULT STDMETHODCALLTYPE CEffectDriver_Escape(CEffectDriver *This, DWORD dwID, DWORD dwEffect, LPDIEFFESCAPE pesc);
HRESULT STDMETHODCALLTYPE CEffectDriver_SetGain(CEffectDriver *This, DWORD dwID, DWORD dwGain);
HRESULT STDMETHODCALLTYPE CEffectDriver_SendForceFeedbackCommand(CEffectDriver *This, DWORD dwID, DWORD dwCommand);
HRESULT STDMETHODCALLTYPE CEffectDriver_GetForceFeedbackState(CEffectDriver *This, DWORD dwID, LPDIDEVICESTATE pds);
HRESULT STDMETHODCALLTYPE CEffectDriver_DownloadEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffectID,
                                                       LPDWORD pdwEffect, LPCDIEFFECT peff, DWORD dwFlags);
HRESULT STDMETHODCALLTYPE CEffectDriver_DestroyEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect);
HRESULT STDMETHODCALLTYPE CEffectDriver_StartEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect, DWORD dwMode,
                                                    DWORD dwCount);
HRESULT STDMETHODCALLTYPE CEffectDriver_StopEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect);
HRESULT STDMETHODCALLTYPE CEffectDriver_GetEffectStatus(CEffectDriver *This, DWORD dwID, DWORD dwEffect,
                                                        LPDWORD pdwStatus);
