#include "ffdriver/effect_driver.h"

#include <cstring>

#include "ffdriver/effect_table.h"
#include "ffdriver/output_thread.h"

const CEffectDriverVtbl g_EffectDriverVtbl = {
    CEffectDriver_QueryInterface,
    CEffectDriver_AddRef,
    CEffectDriver_Release,
    CEffectDriver_DeviceID,
    CEffectDriver_GetVersions,
    CEffectDriver_Escape,
    CEffectDriver_SetGain,
    CEffectDriver_SendForceFeedbackCommand,
    CEffectDriver_GetForceFeedbackState,
    CEffectDriver_DownloadEffect,
    CEffectDriver_DestroyEffect,
    CEffectDriver_StartEffect,
    CEffectDriver_StopEffect,
    CEffectDriver_GetEffectStatus,
};

static_assert(offsetof(CEffectDriver, lpVtbl) == 0, "the interface table comes first");

namespace {

// The two checks that DownloadEffect makes before anything is stored.
bool IsSupportedTrigger(DWORD dwTrigger)
{
    if (dwTrigger == DIEB_NOTRIGGER) return true;
    return (dwTrigger & DIDFT_PSHBUTTON) && DIDFT_GETINSTANCE(dwTrigger) < 16;
}

bool IsSupportedAxis(DWORD dwAxis)
{
    return (dwAxis & DIDFT_ABSAXIS) && DIDFT_GETINSTANCE(dwAxis) < 2;
}

} // namespace

DWORD EffectKindOfId(DWORD dwEffectID)
{
    switch (dwEffectID) {
    case 1: return KIND_CONSTANT;
    case 2: return KIND_RAMP;
    case 3: case 4: case 5: case 6: case 7: return KIND_PERIODIC;
    case 8: case 9: case 10: case 11: return KIND_CONDITION;
    case 12: return KIND_CUSTOM;
    default: return KIND_NONE;
    }
}

CEffectDriver *CEffectDriver_Create()
{
    CEffectDriver *p = static_cast<CEffectDriver *>(LocalAlloc(LPTR, sizeof(CEffectDriver)));
    if (!p) return nullptr;
    p->lpVtbl = &g_EffectDriverVtbl;
    p->m_cRef = 1;
    return p;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_QueryInterface(CEffectDriver *This, REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDirectInputEffectDriver)) {
        CEffectDriver_AddRef(This);
        *ppv = This;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEffectDriver_AddRef(CEffectDriver *This)
{
    return static_cast<ULONG>(InterlockedIncrement(&This->m_cRef));
}

ULONG STDMETHODCALLTYPE CEffectDriver_Release(CEffectDriver *This)
{
    LONG c = InterlockedDecrement(&This->m_cRef);
    if (c > 0) return static_cast<ULONG>(c);
    // Only an object that was bound has a channel to close; the last bound
    // object of a device sends the all-off report.
    if (This->m_bBound) DeviceChannel_Unbind(This->m_dwDeviceIndex);
    LocalFree(This);
    return 0;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_DeviceID(CEffectDriver *This, DWORD dwDirectInputVersion,
                                                 DWORD dwExternalID, DWORD fBegin, DWORD dwInternalID,
                                                 LPVOID lpReserved)
{
    if (dwInternalID >= kFFDeviceCount) return E_FAIL;
    if (This->m_bBound && This->m_dwDeviceIndex == dwInternalID) {
        // Bound already: reopen the channel if it was closed meanwhile.
        This->m_dwJoystickId = dwExternalID;
        DeviceChannel_Open(dwInternalID, dwExternalID);
        return S_OK;
    }
    if (This->m_bBound) DeviceChannel_Unbind(This->m_dwDeviceIndex);
    This->m_dwDeviceIndex = dwInternalID;
    This->m_dwJoystickId = dwExternalID;
    This->m_bBound = TRUE;
    DeviceChannel_Bind(dwInternalID, dwExternalID);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_GetVersions(CEffectDriver *This, LPDIDRIVERVERSIONS pvers)
{
    if (!pvers) return E_POINTER;
    if (pvers->dwSize < sizeof(DIDRIVERVERSIONS)) return E_INVALIDARG;
    pvers->dwSize = sizeof(DIDRIVERVERSIONS);
    pvers->dwFirmwareRevision = 3;
    pvers->dwHardwareRevision = 5;
    pvers->dwFFDriverVersion = 0x0F1F;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_Escape(CEffectDriver *This, DWORD dwID, DWORD dwEffect, LPDIEFFESCAPE pesc)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_SetGain(CEffectDriver *This, DWORD dwID, DWORD dwGain)
{
    TableLock lock;
    EffectTable_SetGain(This->m_dwDeviceIndex, dwGain);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_SendForceFeedbackCommand(CEffectDriver *This, DWORD dwID, DWORD dwCommand)
{
    if (dwCommand == DISFFC_RESET) {
        TableLock lock;
        EffectTable_Reset(This->m_dwDeviceIndex);
        return S_OK;
    }
    if (dwCommand == DISFFC_STOPALL) {
        TableLock lock;
        EffectTable_StopAll(This->m_dwDeviceIndex);
        return S_OK;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_GetForceFeedbackState(CEffectDriver *This, DWORD dwID, LPDIDEVICESTATE pds)
{
    if (!pds) return E_POINTER;
    if (pds->dwSize < sizeof(DIDEVICESTATE)) return E_INVALIDARG;
    pds->dwSize = sizeof(DIDEVICESTATE);
    DWORD c;
    {
        TableLock lock;
        c = EffectTable_Count(This->m_dwDeviceIndex);
    }
    int n = EffectTable_CountAllocated(c);
    int total = EffectTable_CountTotal(c);
    pds->dwState = (n == 0 ? DIGFFS_EMPTY : 0) | DIGFFS_ACTUATORSON;
    pds->dwLoad = static_cast<DWORD>(MulDiv(100, n, total));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_DownloadEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffectID,
                                                       LPDWORD pdwEffect, LPCDIEFFECT peff, DWORD dwFlags)
{
    if (!peff) return E_POINTER;
    if ((dwFlags & DIEP_TRIGGERBUTTON) && !IsSupportedTrigger(peff->dwTriggerButton)) return E_NOTIMPL;
    if ((dwFlags & DIEP_AXES) && peff->rgdwAxes) {
        for (DWORD i = 0; i < peff->cAxes; ++i)
            if (!IsSupportedAxis(peff->rgdwAxes[i])) return E_NOTIMPL;
    }
    if (dwFlags & DIEP_NODOWNLOAD) return S_OK;
    if (!pdwEffect) return E_POINTER;

    const DWORD d = This->m_dwDeviceIndex;
    DWORD dwHandle = *pdwEffect;
    if (dwHandle == 0) {
        TableLock lock;
        HRESULT hr = EffectTable_Allocate(d, &dwHandle);
        if (FAILED(hr)) return hr;
    } else if (!EffectTable_IsValidHandle(dwHandle)) {
        return E_HANDLE;
    }

    HRESULT hr;
    {
        TableLock lock;
        DWORD dwKind = EffectKindOfId(dwEffectID);
        hr = dwKind != KIND_NONE ? EffectTable_Store(d, dwHandle, dwKind, dwEffectID, peff, dwFlags) : E_NOTIMPL;
    }
    if (hr == E_NOTIMPL) {
        TableLock lock;
        EffectTable_Free(d, dwHandle);
        return E_NOTIMPL;
    }
    // A handle that is not (or no longer) allocated: nothing was stored.
    if (FAILED(hr)) return hr;

    *pdwEffect = dwHandle;
    if (dwFlags & DIEP_START) {
        TableLock lock;
        return EffectTable_Start(d, dwHandle);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEffectDriver_DestroyEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect)
{
    TableLock lock;
    return EffectTable_Free(This->m_dwDeviceIndex, dwEffect);
}

HRESULT STDMETHODCALLTYPE CEffectDriver_StartEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect, DWORD dwMode,
                                                    DWORD dwCount)
{
    TableLock lock;
    return EffectTable_Start(This->m_dwDeviceIndex, dwEffect);
}

HRESULT STDMETHODCALLTYPE CEffectDriver_StopEffect(CEffectDriver *This, DWORD dwID, DWORD dwEffect)
{
    TableLock lock;
    return EffectTable_Stop(This->m_dwDeviceIndex, dwEffect);
}

HRESULT STDMETHODCALLTYPE CEffectDriver_GetEffectStatus(CEffectDriver *This, DWORD dwID, DWORD dwEffect,
                                                        LPDWORD pdwStatus)
{
    if (!pdwStatus) return E_POINTER;
    if (!EffectTable_IsValidHandle(dwEffect)) return E_HANDLE;
    *pdwStatus = EffectTable_IsPlaying(This->m_dwDeviceIndex, dwEffect) ? DIEGES_PLAYING : 0;
    return S_OK;
}
