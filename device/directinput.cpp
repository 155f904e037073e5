// The DirectInput objects of a property-sheet object: created once, under
// the module's one lock, and kept until the object goes away.
#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"

namespace {

const DWORD kAxis = DIDFT_OPTIONAL | DIDFT_ANYINSTANCE | DIDFT_AXIS;
const DWORD kVendor = DIDFT_OPTIONAL | DIDFT_VENDORDEFINED | DIDFT_ANYINSTANCE;
#define TAVREL_BUTTON(n) {&GUID_Button, 20 + (n), DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(n), 0}

// Every row is optional so that a device lacking an object still accepts the
// format. Rz comes before Z, matching JoystickState.
DIOBJECTDATAFORMAT g_rgodfJoystick[] = {
    {&GUID_XAxis, 0, kAxis, 0},
    {&GUID_YAxis, 4, kAxis, 0},
    {&GUID_RzAxis, 8, kAxis, 0},
    {&GUID_ZAxis, 12, kAxis, 0},
    {nullptr, 16, kVendor, 0},
    TAVREL_BUTTON(0),  TAVREL_BUTTON(1),  TAVREL_BUTTON(2),  TAVREL_BUTTON(3),
    TAVREL_BUTTON(4),  TAVREL_BUTTON(5),  TAVREL_BUTTON(6),  TAVREL_BUTTON(7),
    TAVREL_BUTTON(8),  TAVREL_BUTTON(9),  TAVREL_BUTTON(10), TAVREL_BUTTON(11),
    TAVREL_BUTTON(12), TAVREL_BUTTON(13), TAVREL_BUTTON(14), TAVREL_BUTTON(15),
};
#undef TAVREL_BUTTON

// Four bytes that can be both read and written; a null pointer fails.
bool IsUsablePointer(const void *p)
{
    return p && !IsBadReadPtr(p, 4) && !IsBadWritePtr(const_cast<void *>(p), 4);
}

} // namespace

const DIDATAFORMAT JoystickDataFormat = {
    sizeof(DIDATAFORMAT),
    sizeof(DIOBJECTDATAFORMAT),
    DIDF_ABSAXIS,
    36, // sizeof(JoystickState)
    sizeof(g_rgodfJoystick) / sizeof(g_rgodfJoystick[0]),
    g_rgodfJoystick,
};

HRESULT DIUtilCreateDeviceFromJoyConfig(SHORT id, HWND hWnd, IDirectInput *pdi,
                                        IDirectInputJoyConfig *pdiJoyCfg,
                                        IDirectInputDevice2A **ppdiDevice2)
{
    if (!IsUsablePointer(pdi)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - invalid pdi\n");
        return E_POINTER;
    }
    if (!IsUsablePointer(pdiJoyCfg)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - invalid pdiJoyCfg\n");
        return E_POINTER;
    }
    if (!IsUsablePointer(ppdiDevice2)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - invalid ppdiDevice2\n");
        return E_POINTER;
    }

    DIJOYCONFIG cfg;
    cfg.dwSize = sizeof(DIJOYCONFIG);
    // The id is widened with its sign: the unset id 0xFFFF asks for index ~0.
    UINT index = static_cast<UINT>(static_cast<int>(id));
    HRESULT hr = pdiJoyCfg->GetConfig(index, &cfg, DIJC_GUIDINSTANCE);
    if (FAILED(hr)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - GetConfig() failed\n");
        return hr;
    }

    IDirectInputDeviceA *pdiDevice = nullptr;
    hr = pdi->CreateDevice(cfg.guidInstance, &pdiDevice, nullptr);
    if (FAILED(hr)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - CreateDevice() failed\n");
        return hr;
    }

    hr = pdiDevice->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void **>(ppdiDevice2));
    pdiDevice->Release();
    if (FAILED(hr)) {
        // A refused query must not leave anything that looks like a device.
        *ppdiDevice2 = nullptr;
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - QueryInterface(IDirectInputDevice2) failed\n");
        return hr;
    }

    hr = (*ppdiDevice2)->SetDataFormat(&JoystickDataFormat);
    if (FAILED(hr)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - SetDataFormat(Joystick) failed\n");
        return hr;
    }

    hr = (*ppdiDevice2)->SetCooperativeLevel(hWnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(hr)) {
        OutputDebugStringA("DIUtilCreateDeviceFromJoyConfig() - SetCooperativeLevel() failed\n");
        return hr;
    }
    return hr;
}

HRESULT CPropertySheetObject::InitializeDirectInput(HWND hWnd)
{
    // Written only under the lock, once all three interfaces exist, and
    // never cleared; both callers run on the sheet's window thread.
    if (m_fInitialized) return S_OK;

    ScopedLock lock(&g_csDirectInput);
    HRESULT hr;
    if (!m_pdi) {
        IDirectInputA *pdi = nullptr;
        hr = DirectInputCreateA(g_hInstance, DIRECTINPUT_VERSION, &pdi, nullptr);
        if (FAILED(hr)) return hr;
        m_pdi = pdi;
    }
    if (!m_pdiJoyCfg) {
        IDirectInputJoyConfig *pdiJoyCfg = nullptr;
        hr = m_pdi->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void **>(&pdiJoyCfg));
        if (FAILED(hr)) return hr;
        m_pdiJoyCfg = pdiJoyCfg;
    }
    if (!m_pdiDevice2) {
        hr = DIUtilCreateDeviceFromJoyConfig(static_cast<SHORT>(GetID()), hWnd, m_pdi, m_pdiJoyCfg,
                                             &m_pdiDevice2);
        if (FAILED(hr)) return hr;
    }
    m_fInitialized = 1;
    return S_OK;
}
