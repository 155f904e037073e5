// A stand-in dinput.dll for tests: just enough DirectInput 7 for the
// product's joystick lookup, with every call counted and logged, failures
// injectable per call, and joysticks configured by the test (see
// fakedinput_control.h for the behaviour in full).
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/doubles/fakedinput_control.h"

#define FAKEDI_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Joystick {
    std::wstring path;
    WORD xAxisReportId = 0;
};

// Everything below is guarded by g_lock. The lock is initialised in DllMain
// before anything can call in.
CRITICAL_SECTION g_lock;
std::map<UINT, Joystick> *g_joysticks;
std::map<std::string, HRESULT> *g_failures;
std::map<std::string, int> *g_counts;
std::string *g_log;
FakeDI_DataFormat g_lastFormat;
bool g_haveFormat = false;
HWND g_lastCoopWindow = nullptr;
LONG g_liveObjects = 0;
LONG g_acquiredDevices = 0;

// The guidInstance of joystick `id`: the id in Data1 and a fixed tail, so
// CreateDevice can tell our guids from foreign ones.
const GUID kJoystickGuidBase = {0, 0x7A5E, 0x4D11, {'T', 'A', 'V', 'F', 'A', 'K', 'E', 'J'}};
// GUID_HIDClass, for the guidClass of DIPROP_GUIDANDPATH.
const GUID kHidClass = {0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};

class Lock {
public:
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
};

GUID GuidFor(UINT id)
{
    GUID g = kJoystickGuidBase;
    g.Data1 = id;
    return g;
}

bool IdFromGuid(REFGUID g, UINT *id)
{
    if (g.Data2 != kJoystickGuidBase.Data2 || g.Data3 != kJoystickGuidBase.Data3 ||
        memcmp(g.Data4, kJoystickGuidBase.Data4, sizeof g.Data4) != 0)
        return false;
    *id = g.Data1;
    return true;
}

void LogLine(const char *fmt, ...)
{
    char buf[600];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, sizeof buf - 1, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (n > (int)sizeof buf - 2) n = (int)sizeof buf - 2;
    buf[n] = '\n';
    buf[n + 1] = 0;
    g_log->append(buf);
}

// Counts the call and tells whether a failure was injected for it.
// Returns S_OK when the call should do its ordinary work; otherwise the
// injected code (negative: do nothing; positive: work, then return it).
HRESULT Enter(const char *name)
{
    ++(*g_counts)[name];
    auto it = g_failures->find(name);
    return it == g_failures->end() ? S_OK : it->second;
}

// Logs the call as its name alone and counts it; for methods nobody uses.
HRESULT NotImplemented(const char *name)
{
    Lock l;
    HRESULT inj = Enter(name);
    LogLine("%s", name);
    return FAILED(inj) ? inj : E_NOTIMPL;
}

const char *InterfaceName(REFIID riid)
{
    if (IsEqualIID(riid, IID_IUnknown)) return "IUnknown";
    if (IsEqualIID(riid, IID_IDirectInputA)) return "IDirectInputA";
    if (IsEqualIID(riid, IID_IDirectInput2A)) return "IDirectInput2A";
    if (IsEqualIID(riid, IID_IDirectInput7A)) return "IDirectInput7A";
    if (IsEqualIID(riid, IID_IDirectInputJoyConfig)) return "IDirectInputJoyConfig";
    if (IsEqualIID(riid, IID_IDirectInputDeviceA)) return "IDirectInputDeviceA";
    if (IsEqualIID(riid, IID_IDirectInputDevice2A)) return "IDirectInputDevice2A";
    if (IsEqualIID(riid, IID_IDirectInputDevice7A)) return "IDirectInputDevice7A";
    return "other";
}

// ---------------------------------------------------------------------------
// The device: one object behind the IDirectInputDevice7A vtable, which also
// serves the A and 2A interfaces (they are prefixes of it).

class FakeDevice final : public IDirectInputDevice7A {
public:
    FakeDevice(UINT id, const Joystick &j) : m_id(id), m_joystick(j) { InterlockedIncrement(&g_liveObjects); }

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        const char *name = InterfaceName(riid);
        char call[64];
        snprintf(call, sizeof call, "QueryInterface(%s)", name);
        Lock l;
        HRESULT inj = Enter(call);
        LogLine("%s", call);
        if (FAILED(inj)) return inj;
        if (strcmp(name, "IUnknown") && strcmp(name, "IDirectInputDeviceA") &&
            strcmp(name, "IDirectInputDevice2A") && strcmp(name, "IDirectInputDevice7A"))
            return E_NOINTERFACE;
        InterlockedIncrement(&m_ref);
        *ppv = static_cast<IDirectInputDevice7A *>(this);
        return inj;
    }
    STDMETHOD_(ULONG, AddRef)() override
    {
        Lock l;
        Enter("AddRef(device)");
        LONG r = InterlockedIncrement(&m_ref);
        LogLine("AddRef(device) ref=%ld", r);
        return (ULONG)r;
    }
    STDMETHOD_(ULONG, Release)() override
    {
        LONG r;
        {
            Lock l;
            Enter("Release(device)");
            r = InterlockedDecrement(&m_ref);
            LogLine("Release(device) ref=%ld", r);
        }
        if (r == 0) delete this;
        return (ULONG)(r < 0 ? 0 : r);
    }

    // IDirectInputDeviceA
    STDMETHOD(GetCapabilities)(LPDIDEVCAPS) override { return NotImplemented("GetCapabilities"); }
    STDMETHOD(EnumObjects)(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override { return NotImplemented("EnumObjects"); }
    STDMETHOD(GetProperty)(REFGUID rguidProp, LPDIPROPHEADER pdiph) override
    {
        Lock l;
        if (reinterpret_cast<ULONG_PTR>(&rguidProp) != reinterpret_cast<ULONG_PTR>(&DIPROP_GUIDANDPATH)) {
            HRESULT inj = Enter("GetProperty(other)");
            LogLine("GetProperty(other) prop=%lu", (unsigned long)(ULONG_PTR)&rguidProp);
            return FAILED(inj) ? inj : E_NOTIMPL;
        }
        HRESULT inj = Enter("GetProperty(GUIDANDPATH)");
        if (!pdiph) {
            LogLine("GetProperty(GUIDANDPATH) null");
            return FAILED(inj) ? inj : DIERR_INVALIDPARAM;
        }
        LogLine("GetProperty(GUIDANDPATH) size=%lu header=%lu obj=%lu how=%lu", pdiph->dwSize,
                pdiph->dwHeaderSize, pdiph->dwObj, pdiph->dwHow);
        if (FAILED(inj)) return inj;
        if (pdiph->dwSize != sizeof(DIPROPGUIDANDPATH) || pdiph->dwHeaderSize != sizeof(DIPROPHEADER) ||
            pdiph->dwObj != 0 || pdiph->dwHow != DIPH_DEVICE)
            return DIERR_INVALIDPARAM;
        auto *p = reinterpret_cast<DIPROPGUIDANDPATH *>(pdiph);
        p->guidClass = kHidClass;
        size_t n = m_joystick.path.size();
        if (n > MAX_PATH - 1) n = MAX_PATH - 1;
        memcpy(p->wszPath, m_joystick.path.data(), n * sizeof(WCHAR));
        p->wszPath[n] = 0;
        return inj;
    }
    STDMETHOD(SetProperty)(REFGUID, LPCDIPROPHEADER) override { return NotImplemented("SetProperty"); }
    STDMETHOD(Acquire)() override
    {
        Lock l;
        HRESULT inj = Enter("Acquire");
        LogLine("Acquire");
        if (FAILED(inj)) return inj;
        if (!m_haveFormat) return DIERR_INVALIDPARAM;
        if (m_acquired) return inj ? inj : S_FALSE;
        m_acquired = true;
        InterlockedIncrement(&g_acquiredDevices);
        return inj;
    }
    STDMETHOD(Unacquire)() override
    {
        Lock l;
        HRESULT inj = Enter("Unacquire");
        LogLine("Unacquire");
        if (FAILED(inj)) return inj;
        if (!m_acquired) return inj ? inj : S_FALSE;
        m_acquired = false;
        InterlockedDecrement(&g_acquiredDevices);
        return inj;
    }
    STDMETHOD(GetDeviceState)(DWORD, LPVOID) override { return NotImplemented("GetDeviceState"); }
    STDMETHOD(GetDeviceData)(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return NotImplemented("GetDeviceData"); }
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT lpdf) override
    {
        Lock l;
        HRESULT inj = Enter("SetDataFormat");
        if (!lpdf) {
            LogLine("SetDataFormat null");
            return FAILED(inj) ? inj : DIERR_INVALIDPARAM;
        }
        LogLine("SetDataFormat size=%lu objsize=%lu flags=0x%lx datasize=%lu objs=%lu", lpdf->dwSize,
                lpdf->dwObjSize, lpdf->dwFlags, lpdf->dwDataSize, lpdf->dwNumObjs);
        if (FAILED(inj)) return inj;
        if (m_acquired) return DIERR_ACQUIRED;
        if (lpdf->dwSize != sizeof(DIDATAFORMAT) || lpdf->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
            (lpdf->dwNumObjs && !lpdf->rgodf))
            return DIERR_INVALIDPARAM;
        FakeDI_DataFormat &f = g_lastFormat;
        memset(&f, 0, sizeof f);
        f.dwSize = lpdf->dwSize;
        f.dwObjSize = lpdf->dwObjSize;
        f.dwFlags = lpdf->dwFlags;
        f.dwDataSize = lpdf->dwDataSize;
        f.dwNumObjs = lpdf->dwNumObjs;
        for (DWORD i = 0; i < lpdf->dwNumObjs && i < 64; ++i) {
            const DIOBJECTDATAFORMAT &o = lpdf->rgodf[i];
            if (o.pguid) {
                f.rows[i].guid = *o.pguid;
                f.rows[i].hasGuid = 1;
            }
            f.rows[i].dwOfs = o.dwOfs;
            f.rows[i].dwType = o.dwType;
            f.rows[i].dwFlags = o.dwFlags;
        }
        g_haveFormat = true;
        m_haveFormat = true;
        return inj;
    }
    STDMETHOD(SetEventNotification)(HANDLE) override { return NotImplemented("SetEventNotification"); }
    STDMETHOD(SetCooperativeLevel)(HWND hwnd, DWORD dwFlags) override
    {
        Lock l;
        HRESULT inj = Enter("SetCooperativeLevel");
        LogLine("SetCooperativeLevel flags=0x%lx hwnd=%d", dwFlags, hwnd ? 1 : 0);
        if (FAILED(inj)) return inj;
        if (m_acquired) return DIERR_ACQUIRED;
        DWORD excl = dwFlags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        DWORD fore = dwFlags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((excl != DISCL_EXCLUSIVE && excl != DISCL_NONEXCLUSIVE) ||
            (fore != DISCL_FOREGROUND && fore != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        g_lastCoopWindow = hwnd;
        return inj;
    }
    STDMETHOD(GetObjectInfo)(LPDIDEVICEOBJECTINSTANCEA pdidoi, DWORD dwObj, DWORD dwHow) override
    {
        Lock l;
        HRESULT inj = Enter("GetObjectInfo");
        LogLine("GetObjectInfo size=%lu obj=0x%lx how=0x%lx", pdidoi ? pdidoi->dwSize : 0UL, dwObj, dwHow);
        if (FAILED(inj)) return inj;
        if (!pdidoi || pdidoi->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA)) return DIERR_INVALIDPARAM;
        if (dwHow != DIPH_BYUSAGE || dwObj != 0x00010030 || m_joystick.xAxisReportId == 0)
            return DIERR_OBJECTNOTFOUND;
        DWORD size = pdidoi->dwSize;
        memset(pdidoi, 0, size);
        pdidoi->dwSize = size;
        pdidoi->guidType = GUID_XAxis;
        pdidoi->dwOfs = 0;
        pdidoi->dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0);
        pdidoi->dwFlags = DIDOI_ASPECTPOSITION;
        strcpy(pdidoi->tszName, "X Axis");
        pdidoi->wUsagePage = 0x0001;
        pdidoi->wUsage = 0x0030;
        pdidoi->wReportId = m_joystick.xAxisReportId;
        return inj;
    }
    STDMETHOD(GetDeviceInfo)(LPDIDEVICEINSTANCEA) override { return NotImplemented("GetDeviceInfo"); }
    STDMETHOD(RunControlPanel)(HWND, DWORD) override { return NotImplemented("RunControlPanel"); }
    STDMETHOD(Initialize)(HINSTANCE, DWORD, REFGUID) override { return NotImplemented("Initialize"); }

    // IDirectInputDevice2A
    STDMETHOD(CreateEffect)(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT *ppdeff, LPUNKNOWN) override
    {
        if (ppdeff) *ppdeff = nullptr;
        return NotImplemented("CreateEffect");
    }
    STDMETHOD(EnumEffects)(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return NotImplemented("EnumEffects"); }
    STDMETHOD(GetEffectInfo)(LPDIEFFECTINFOA, REFGUID) override { return NotImplemented("GetEffectInfo"); }
    STDMETHOD(GetForceFeedbackState)(LPDWORD) override { return NotImplemented("GetForceFeedbackState"); }
    STDMETHOD(SendForceFeedbackCommand)(DWORD) override { return NotImplemented("SendForceFeedbackCommand"); }
    STDMETHOD(EnumCreatedEffectObjects)(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override
    {
        return NotImplemented("EnumCreatedEffectObjects");
    }
    STDMETHOD(Escape)(LPDIEFFESCAPE) override { return NotImplemented("Escape"); }
    STDMETHOD(Poll)() override { return NotImplemented("Poll"); }
    STDMETHOD(SendDeviceData)(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return NotImplemented("SendDeviceData"); }

    // IDirectInputDevice7A
    STDMETHOD(EnumEffectsInFile)(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override
    {
        return NotImplemented("EnumEffectsInFile");
    }
    STDMETHOD(WriteEffectToFile)(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override { return NotImplemented("WriteEffectToFile"); }

private:
    ~FakeDevice()
    {
        if (m_acquired) InterlockedDecrement(&g_acquiredDevices);
        InterlockedDecrement(&g_liveObjects);
    }

    LONG m_ref = 1;
    UINT m_id;
    Joystick m_joystick;
    bool m_haveFormat = false;
    bool m_acquired = false;
};

// ---------------------------------------------------------------------------
// The DirectInput object: IDirectInput7A, with IDirectInputJoyConfig as a
// second interface on the same reference count.

class FakeDirectInput;

class FakeJoyConfig final : public IDirectInputJoyConfig {
public:
    explicit FakeJoyConfig(FakeDirectInput *owner) : m_owner(owner) {}

    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(Acquire)() override
    {
        Lock l;
        HRESULT inj = Enter("Acquire(joyconfig)");
        LogLine("Acquire(joyconfig)");
        return inj;
    }
    STDMETHOD(Unacquire)() override
    {
        Lock l;
        HRESULT inj = Enter("Unacquire(joyconfig)");
        LogLine("Unacquire(joyconfig)");
        return inj;
    }
    STDMETHOD(SetCooperativeLevel)(HWND hwnd, DWORD flags) override
    {
        Lock l;
        HRESULT inj = Enter("SetCooperativeLevel(joyconfig)");
        LogLine("SetCooperativeLevel(joyconfig) flags=0x%lx hwnd=%d", flags, hwnd ? 1 : 0);
        return inj;
    }
    STDMETHOD(SendNotify)() override { return NotImplemented("SendNotify"); }
    STDMETHOD(EnumTypes)(LPVOID, LPVOID) override { return NotImplemented("EnumTypes"); }
    STDMETHOD(GetTypeInfo)(LPCWSTR, LPDIJOYTYPEINFO, DWORD) override { return NotImplemented("GetTypeInfo"); }
    STDMETHOD(SetTypeInfo)(LPCWSTR, LPCDIJOYTYPEINFO, DWORD) override { return NotImplemented("SetTypeInfo"); }
    STDMETHOD(DeleteType)(LPCWSTR) override { return NotImplemented("DeleteType"); }
    STDMETHOD(GetConfig)(UINT id, LPDIJOYCONFIG pjc, DWORD flags) override
    {
        Lock l;
        HRESULT inj = Enter("GetConfig");
        LogLine("GetConfig id=%u flags=0x%lx size=%lu", id, flags, pjc ? pjc->dwSize : 0UL);
        if (FAILED(inj)) return inj;
        if (!pjc || (pjc->dwSize != sizeof(DIJOYCONFIG) && pjc->dwSize != sizeof(DIJOYCONFIG_DX5)))
            return DIERR_INVALIDPARAM;
        if (!g_joysticks->count(id)) return DIERR_NOMOREITEMS;
        if (flags & DIJC_GUIDINSTANCE) pjc->guidInstance = GuidFor(id);
        return inj;
    }
    STDMETHOD(SetConfig)(UINT, LPCDIJOYCONFIG, DWORD) override { return NotImplemented("SetConfig"); }
    STDMETHOD(DeleteConfig)(UINT) override { return NotImplemented("DeleteConfig"); }
    STDMETHOD(GetUserValues)(LPDIJOYUSERVALUES, DWORD) override { return NotImplemented("GetUserValues"); }
    STDMETHOD(SetUserValues)(LPCDIJOYUSERVALUES, DWORD) override { return NotImplemented("SetUserValues"); }
    STDMETHOD(AddNewHardware)(HWND, REFGUID) override { return NotImplemented("AddNewHardware"); }
    STDMETHOD(OpenTypeKey)(LPCWSTR, DWORD, HKEY *k) override
    {
        if (k) *k = nullptr;
        return NotImplemented("OpenTypeKey");
    }
    STDMETHOD(OpenConfigKey)(UINT, DWORD, HKEY *k) override
    {
        if (k) *k = nullptr;
        return NotImplemented("OpenConfigKey");
    }

private:
    FakeDirectInput *m_owner;
};

class FakeDirectInput final : public IDirectInput7A {
public:
    FakeDirectInput() : m_joyConfig(this) { InterlockedIncrement(&g_liveObjects); }

    // Calls through either interface end here; `which` names it for the log.
    HRESULT QueryInterfaceVia(REFIID riid, void **ppv)
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        const char *name = InterfaceName(riid);
        char call[64];
        snprintf(call, sizeof call, "QueryInterface(%s)", name);
        Lock l;
        HRESULT inj = Enter(call);
        LogLine("%s", call);
        if (FAILED(inj)) return inj;
        void *p = nullptr;
        if (!strcmp(name, "IUnknown") || !strcmp(name, "IDirectInputA") || !strcmp(name, "IDirectInput2A") ||
            !strcmp(name, "IDirectInput7A")) {
            p = static_cast<IDirectInput7A *>(this);
        } else if (!strcmp(name, "IDirectInputJoyConfig")) {
            p = static_cast<IDirectInputJoyConfig *>(&m_joyConfig);
        } else {
            return E_NOINTERFACE;
        }
        InterlockedIncrement(&m_ref);
        *ppv = p;
        return inj;
    }
    ULONG AddRefVia(const char *which)
    {
        char call[32];
        snprintf(call, sizeof call, "AddRef(%s)", which);
        Lock l;
        Enter(call);
        LONG r = InterlockedIncrement(&m_ref);
        LogLine("%s ref=%ld", call, r);
        return (ULONG)r;
    }
    ULONG ReleaseVia(const char *which)
    {
        char call[32];
        snprintf(call, sizeof call, "Release(%s)", which);
        LONG r;
        {
            Lock l;
            Enter(call);
            r = InterlockedDecrement(&m_ref);
            LogLine("%s ref=%ld", call, r);
        }
        if (r == 0) delete this;
        return (ULONG)(r < 0 ? 0 : r);
    }

    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override { return QueryInterfaceVia(riid, ppv); }
    STDMETHOD_(ULONG, AddRef)() override { return AddRefVia("dinput"); }
    STDMETHOD_(ULONG, Release)() override { return ReleaseVia("dinput"); }

    // IDirectInputA
    STDMETHOD(CreateDevice)(REFGUID rguid, LPDIRECTINPUTDEVICEA *ppdev, LPUNKNOWN outer) override
    {
        Lock l;
        HRESULT inj = Enter("CreateDevice");
        UINT id = 0;
        bool ours = IdFromGuid(rguid, &id);
        if (ours)
            LogLine("CreateDevice joystick=%u outer=%d", id, outer ? 1 : 0);
        else
            LogLine("CreateDevice joystick=? outer=%d", outer ? 1 : 0);
        if (!ppdev) return FAILED(inj) ? inj : E_POINTER;
        *ppdev = nullptr;
        if (FAILED(inj)) return inj;
        if (outer) return DIERR_NOAGGREGATION;
        auto it = ours ? g_joysticks->find(id) : g_joysticks->end();
        if (it == g_joysticks->end()) return DIERR_DEVICENOTREG;
        FakeDevice *d = new (std::nothrow) FakeDevice(id, it->second);
        if (!d) return E_OUTOFMEMORY;
        *ppdev = d;
        return inj;
    }
    STDMETHOD(EnumDevices)(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override { return NotImplemented("EnumDevices"); }
    STDMETHOD(GetDeviceStatus)(REFGUID) override { return NotImplemented("GetDeviceStatus"); }
    STDMETHOD(RunControlPanel)(HWND, DWORD) override { return NotImplemented("RunControlPanel"); }
    STDMETHOD(Initialize)(HINSTANCE, DWORD) override { return NotImplemented("Initialize"); }
    // IDirectInput2A
    STDMETHOD(FindDevice)(REFGUID, LPCSTR, LPGUID) override { return NotImplemented("FindDevice"); }
    // IDirectInput7A
    STDMETHOD(CreateDeviceEx)(REFGUID, REFIID, LPVOID *pv, LPUNKNOWN) override
    {
        if (pv) *pv = nullptr;
        return NotImplemented("CreateDeviceEx");
    }

private:
    ~FakeDirectInput() { InterlockedDecrement(&g_liveObjects); }

    LONG m_ref = 1;
    FakeJoyConfig m_joyConfig;
};

HRESULT FakeJoyConfig::QueryInterface(REFIID riid, void **ppv) { return m_owner->QueryInterfaceVia(riid, ppv); }
ULONG FakeJoyConfig::AddRef() { return m_owner->AddRefVia("joyconfig"); }
ULONG FakeJoyConfig::Release() { return m_owner->ReleaseVia("joyconfig"); }

void AddJoystickLocked(UINT id, const std::wstring &path, WORD reportId)
{
    Joystick j;
    j.path = path;
    j.xAxisReportId = reportId;
    (*g_joysticks)[id] = j;
}

// Parses one "id=path[,reportid]" entry.
bool ParseEntry(const std::string &e, UINT *id, std::wstring *path, WORD *reportId)
{
    size_t eq = e.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::string ids = e.substr(0, eq);
    char *end = nullptr;
    unsigned long v = strtoul(ids.c_str(), &end, 10);
    if (*end || v > 0xFFFFFFFFul) return false;
    std::string rest = e.substr(eq + 1);
    *reportId = 0;
    size_t comma = rest.rfind(',');
    if (comma != std::string::npos) {
        std::string rs = rest.substr(comma + 1);
        char *rend = nullptr;
        unsigned long r = strtoul(rs.c_str(), &rend, 0);
        if (rs.empty() || *rend || r > 0xFFFF) return false;
        *reportId = (WORD)r;
        rest = rest.substr(0, comma);
    }
    if (rest.empty()) return false;
    int n = MultiByteToWideChar(CP_ACP, 0, rest.c_str(), (int)rest.size(), nullptr, 0);
    if (n <= 0) return false;
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, rest.c_str(), (int)rest.size(), &w[0], n);
    *id = (UINT)v;
    *path = w;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// DirectInput exports

extern "C" __declspec(dllexport) HRESULT WINAPI DirectInputCreateA(HINSTANCE hinst, DWORD version,
                                                                   LPDIRECTINPUTA *ppDI, LPUNKNOWN outer)
{
    Lock l;
    HRESULT inj = Enter("DirectInputCreateA");
    LogLine("DirectInputCreateA version=0x%lx hinst=%d outer=%d", version, hinst ? 1 : 0, outer ? 1 : 0);
    if (!ppDI) return FAILED(inj) ? inj : E_POINTER;
    *ppDI = nullptr;
    if (FAILED(inj)) return inj;
    if (outer) return DIERR_NOAGGREGATION;
    if (version < 0x0300) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > 0x0700) return DIERR_BETADIRECTINPUTVERSION;
    FakeDirectInput *di = new (std::nothrow) FakeDirectInput();
    if (!di) return E_OUTOFMEMORY;
    *ppDI = reinterpret_cast<LPDIRECTINPUTA>(static_cast<IDirectInput7A *>(di));
    return inj;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DirectInputCreateW(HINSTANCE, DWORD, LPDIRECTINPUTW *ppDI, LPUNKNOWN)
{
    if (ppDI) *ppDI = nullptr;
    return NotImplemented("DirectInputCreateW");
}

extern "C" __declspec(dllexport) HRESULT WINAPI DirectInputCreateEx(HINSTANCE, DWORD, REFIID, LPVOID *ppv, LPUNKNOWN)
{
    if (ppv) *ppv = nullptr;
    return NotImplemented("DirectInputCreateEx");
}

// ---------------------------------------------------------------------------
// Control functions

FAKEDI_EXPORT void __cdecl FakeDI_Reset(void)
{
    Lock l;
    g_joysticks->clear();
    g_failures->clear();
    g_counts->clear();
    g_log->clear();
    memset(&g_lastFormat, 0, sizeof g_lastFormat);
    g_haveFormat = false;
    g_lastCoopWindow = nullptr;
}

FAKEDI_EXPORT void __cdecl FakeDI_AddJoystick(UINT id, const WCHAR *path, WORD xAxisReportId)
{
    Lock l;
    AddJoystickLocked(id, path ? std::wstring(path) : std::wstring(), xAxisReportId);
}

FAKEDI_EXPORT void __cdecl FakeDI_RemoveJoystick(UINT id)
{
    Lock l;
    g_joysticks->erase(id);
}

FAKEDI_EXPORT int __cdecl FakeDI_ParseJoysticks(const char *list)
{
    if (!list) return 0;
    Lock l;
    std::string s(list);
    int added = 0;
    bool bad = false;
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t semi = s.find(';', pos);
        if (semi == std::string::npos) semi = s.size();
        std::string e = s.substr(pos, semi - pos);
        pos = semi + 1;
        if (e.empty()) continue;
        UINT id;
        std::wstring path;
        WORD rid;
        if (ParseEntry(e, &id, &path, &rid)) {
            AddJoystickLocked(id, path, rid);
            ++added;
        } else {
            bad = true;
        }
    }
    return bad ? -1 : added;
}

FAKEDI_EXPORT void __cdecl FakeDI_JoystickGuid(UINT id, GUID *guid)
{
    if (guid) *guid = GuidFor(id);
}

FAKEDI_EXPORT void __cdecl FakeDI_FailCall(const char *call, HRESULT hr)
{
    if (!call) return;
    Lock l;
    if (hr == S_OK)
        g_failures->erase(call);
    else
        (*g_failures)[call] = hr;
}

FAKEDI_EXPORT int __cdecl FakeDI_CallCount(const char *call)
{
    if (!call) return 0;
    Lock l;
    auto it = g_counts->find(call);
    return it == g_counts->end() ? 0 : it->second;
}

FAKEDI_EXPORT int __cdecl FakeDI_LiveObjects(void) { return (int)InterlockedCompareExchange(&g_liveObjects, 0, 0); }

FAKEDI_EXPORT int __cdecl FakeDI_CallLog(char *buf, int cb)
{
    Lock l;
    int n = (int)g_log->size();
    if (buf && cb > 0) {
        int c = n < cb - 1 ? n : cb - 1;
        memcpy(buf, g_log->data(), (size_t)c);
        buf[c] = 0;
    }
    return n;
}

FAKEDI_EXPORT int __cdecl FakeDI_AcquiredDevices(void) { return (int)InterlockedCompareExchange(&g_acquiredDevices, 0, 0); }

FAKEDI_EXPORT HWND __cdecl FakeDI_LastCooperativeWindow(void)
{
    Lock l;
    return g_lastCoopWindow;
}

FAKEDI_EXPORT int __cdecl FakeDI_LastDataFormat(FakeDI_DataFormat *out)
{
    Lock l;
    if (!g_haveFormat) return 0;
    if (out) *out = g_lastFormat;
    return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(hinst);
        InitializeCriticalSection(&g_lock);
        g_joysticks = new (std::nothrow) std::map<UINT, Joystick>();
        g_failures = new (std::nothrow) std::map<std::string, HRESULT>();
        g_counts = new (std::nothrow) std::map<std::string, int>();
        g_log = new (std::nothrow) std::string();
        if (!g_joysticks || !g_failures || !g_counts || !g_log) return FALSE;
        char env[4096];
        DWORD n = GetEnvironmentVariableA("TAVREL_FAKEDI_JOYSTICKS", env, sizeof env);
        if (n > 0 && n < sizeof env) FakeDI_ParseJoysticks(env);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: free what we own. At process exit other
        // threads may still be inside, so leave everything to the system.
        delete g_joysticks;
        delete g_failures;
        delete g_counts;
        delete g_log;
        g_joysticks = nullptr;
        g_failures = nullptr;
        g_counts = nullptr;
        g_log = nullptr;
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}
