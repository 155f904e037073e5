// After importing the generated registration, COM must find and load both
// servers from this build through the registry alone, and DirectInput's
// view of the converter must list every effect with the driver's ids.
#define DIRECTINPUT_VERSION 0x0700
#include <windows.h>
#include <objbase.h>
#include <dinput.h>
#include <dinputd.h>
#include <gtest/gtest.h>

#include <string>

namespace {

const CLSID kPanel = {0x3F8B2D17, 0x6C4E, 0x4A91, {0xB5, 0xD0, 0x8E, 0x27, 0xC6, 0x1A, 0x9F, 0x43}};
const CLSID kDriver = {0x3F6B2D90, 0x7C14, 0x4A85, {0xB1, 0xE3, 0x95, 0xD0, 0xC7, 0xA4, 0x2F, 0x18}};
const IID kPropSheet = {0x7854FB22, 0x8EE3, 0x11D0, {0xA1, 0xAC, 0x00, 0x00, 0xF8, 0x02, 0x69, 0x77}};

const char kOem[] = "SYSTEM\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\"
                    "Joystick\\OEM\\VID_1234&PID_5678";

std::string ExeDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

std::string ModulePath(const char *name)
{
    char path[MAX_PATH] = "";
    HMODULE h = GetModuleHandleA(name);
    if (h) GetModuleFileNameA(h, path, MAX_PATH);
    return path;
}

std::string ReadString(HKEY root, const std::string &key, const char *value)
{
    char buf[512] = "";
    DWORD cb = sizeof buf;
    if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buf, &cb) != ERROR_SUCCESS)
        return "<missing>";
    return buf;
}

struct Com {
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

TEST(Registration, ComLoadsThePanelFromThisBuild)
{
    Com com;
    IUnknown *p = nullptr;
    HRESULT hr = CoCreateInstance(kPanel, nullptr, CLSCTX_INPROC_SERVER, kPropSheet, (void **)&p);
    ASSERT_EQ(hr, S_OK);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath("tavrelusbcp.dll").c_str(), (ExeDir() + "tavrelusbcp.dll").c_str()), 0)
        << ModulePath("tavrelusbcp.dll");
    p->Release();
}

TEST(Registration, ComLoadsTheEffectDriverFromThisBuild)
{
    Com com;
    IDirectInputEffectDriver *p = nullptr;
    HRESULT hr = CoCreateInstance(kDriver, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInputEffectDriver,
                                  (void **)&p);
    ASSERT_EQ(hr, S_OK);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath("tavrelusbff.dll").c_str(), (ExeDir() + "tavrelusbff.dll").c_str()), 0);
    DIDRIVERVERSIONS v = {};
    v.dwSize = sizeof v;
    EXPECT_EQ(p->GetVersions(&v), S_OK);
    p->Release();
}

TEST(Registration, JoystickEntryNamesBothServers)
{
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kOem, "ConfigCLSID"), "{3F8B2D17-6C4E-4A91-B5D0-8E27C61A9F43}");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, std::string(kOem) + "\\OEMForceFeedback", "CLSID"),
              "{3F6B2D90-7C14-4A85-B1E3-95D0C7A42F18}");
    DWORD attrs[3] = {};
    DWORD cb = sizeof attrs;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(kOem) + "\\OEMForceFeedback").c_str(), "Attributes",
                           RRF_RT_REG_BINARY, nullptr, attrs, &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(cb, sizeof(DIFFDEVICEATTRIBUTES));
}

TEST(Registration, EveryEffectCarriesItsDriverIdAndType)
{
    struct {
        const GUID *guid;
        DWORD id, type;
    } expected[] = {
        {&GUID_ConstantForce, 1, DIEFT_CONSTANTFORCE}, {&GUID_RampForce, 2, DIEFT_RAMPFORCE},
        {&GUID_Square, 3, DIEFT_PERIODIC},             {&GUID_Sine, 4, DIEFT_PERIODIC},
        {&GUID_Triangle, 5, DIEFT_PERIODIC},           {&GUID_SawtoothUp, 6, DIEFT_PERIODIC},
        {&GUID_SawtoothDown, 7, DIEFT_PERIODIC},       {&GUID_Spring, 8, DIEFT_CONDITION},
        {&GUID_Damper, 9, DIEFT_CONDITION},            {&GUID_Inertia, 10, DIEFT_CONDITION},
        {&GUID_Friction, 11, DIEFT_CONDITION},         {&GUID_CustomForce, 12, DIEFT_CUSTOMFORCE},
    };
    for (const auto &e : expected) {
        WCHAR wguid[40];
        StringFromGUID2(*e.guid, wguid, 40);
        char guid[40];
        WideCharToMultiByte(CP_ACP, 0, wguid, -1, guid, sizeof guid, nullptr, nullptr);
        std::string key = std::string(kOem) + "\\OEMForceFeedback\\Effects\\" + guid;
        DIEFFECTATTRIBUTES a = {};
        DWORD cb = sizeof a;
        ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Attributes", RRF_RT_REG_BINARY, nullptr, &a, &cb),
                  ERROR_SUCCESS)
            << key;
        EXPECT_EQ(cb, sizeof a) << guid;
        EXPECT_EQ(a.dwEffectId, e.id) << guid;
        EXPECT_EQ(DIEFT_GETTYPE(a.dwEffType), e.type) << guid;
        EXPECT_NE(ReadString(HKEY_LOCAL_MACHINE, key, nullptr), "<missing>") << guid;
    }
}

} // namespace
