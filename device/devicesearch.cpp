#include "device/devicesearch.h"

#include <dinputd.h>
#include <string.h>

#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"

namespace {

// The X axis, found by its HID usage page (generic desktop) and usage.
const DWORD kXAxisUsage = 0x00010030;

template <class T> void ReleaseAndClear(T *&p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

HANDLE OpenPath(const char *path, DWORD dwFlags)
{
    if (!path) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, dwFlags, nullptr);
}

} // namespace

bool GetDevicePathA(IDirectInputDevice2A *pDevice, char (&psz)[kDevicePathBytes])
{
    if (!pDevice) return false;
    DIPROPGUIDANDPATH prop;
    memset(&prop, 0, sizeof(prop));
    prop.diph.dwSize = sizeof(DIPROPGUIDANDPATH);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.diph.dwObj = 0;
    prop.diph.dwHow = DIPH_DEVICE;
    if (FAILED(pDevice->GetProperty(DIPROP_GUIDANDPATH, &prop.diph))) return false;

    // A path that fills the whole buffer has no terminator of its own; it
    // would not fit 256 ANSI bytes anyway, so cutting it cannot make a
    // wrong path succeed.
    prop.wszPath[MAX_PATH - 1] = L'\0';

    char szPath[kDevicePathBytes];
    // 0 means the path did not fit (or could not be converted): no path.
    if (WideCharToMultiByte(CP_ACP, 0, prop.wszPath, -1, szPath, kDevicePathBytes, nullptr, nullptr) <= 0)
        return false;
    memcpy(psz, szPath, sizeof(szPath));
    return true;
}

bool FindDevices(CPropertySheetObject *pSheet, char *pszPath, int cbPath, DWORD *pnReportId)
{
    if (!pSheet || !pszPath || cbPath <= 0 || !pnReportId) return false;
    USHORT id = pSheet->GetID();

    IDirectInputA *pdi = nullptr;
    IDirectInputJoyConfig *pdiJoyCfg = nullptr;
    IDirectInputDeviceA *pdiDevice = nullptr;
    IDirectInputDevice7A *pdiDevice7 = nullptr;
    bool found = false;
    char szPath[kDevicePathBytes];
    DWORD nReportId = 0;

    // One pass that stops at the first failure; everything made is released
    // below in one place and one order.
    do {
        if (FAILED(DirectInputCreateA(g_hInstance, DIRECTINPUT_VERSION, &pdi, nullptr))) {
            pdi = nullptr;
            break;
        }
        if (FAILED(pdi->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void **>(&pdiJoyCfg)))) {
            pdiJoyCfg = nullptr;
            break;
        }
        DIJOYCONFIG cfg;
        memset(&cfg, 0, sizeof(cfg));
        cfg.dwSize = sizeof(DIJOYCONFIG);
        // Widened with its sign, as for the sheet's own device.
        UINT index = static_cast<UINT>(static_cast<int>(static_cast<SHORT>(id)));
        if (FAILED(pdiJoyCfg->GetConfig(index, &cfg, DIJC_GUIDINSTANCE))) break;
        if (FAILED(pdi->CreateDevice(cfg.guidInstance, &pdiDevice, nullptr))) {
            pdiDevice = nullptr;
            break;
        }
        HRESULT hr = pdiDevice->QueryInterface(IID_IDirectInputDevice7A, reinterpret_cast<void **>(&pdiDevice7));
        ReleaseAndClear(pdiDevice);
        if (FAILED(hr)) {
            pdiDevice7 = nullptr;
            break;
        }
        if (!GetDevicePathA(pdiDevice7, szPath)) break;
        if (lstrlenA(szPath) >= cbPath) break;

        DIDEVICEOBJECTINSTANCEA doi;
        memset(&doi, 0, sizeof(doi));
        doi.dwSize = sizeof(DIDEVICEOBJECTINSTANCEA);
        // The result is not judged: an X axis that cannot be described
        // leaves the report id 0.
        pdiDevice7->GetObjectInfo(&doi, kXAxisUsage, DIPH_BYUSAGE);
        nReportId = doi.wReportId;
        found = true;
    } while (false);

    ReleaseAndClear(pdiDevice7);
    ReleaseAndClear(pdiJoyCfg);
    ReleaseAndClear(pdi);

    if (found) {
        memcpy(pszPath, szPath, lstrlenA(szPath) + 1);
        *pnReportId = nReportId;
    }
    return found;
}

HANDLE OpenConverterPath(const char *path)
{
    return OpenPath(path, 0);
}

HANDLE OpenConverterPathOverlapped(const char *path)
{
    return OpenPath(path, FILE_FLAG_OVERLAPPED);
}
