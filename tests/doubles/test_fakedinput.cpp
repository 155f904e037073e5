// The fake dinput.dll as the product uses it: the joystick lookup of the
// control panel and the effect driver, with its failures, counts and log.
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>
#include <gtest/gtest.h>

#include <process.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/selfspawn.h"

namespace {

const WCHAR kPath[] = L"\\\\.\\pipe\\fake-joystick-4";

std::string Log()
{
    int n = FakeDI_CallLog(nullptr, 0);
    std::string s((size_t)n + 1, '\0');
    FakeDI_CallLog(&s[0], n + 1);
    s.resize((size_t)n);
    return s;
}

// The product's data format: four axes, one vendor-defined object and 16
// buttons in a 36-byte record.
struct Format {
    DIOBJECTDATAFORMAT rows[21];
    DIDATAFORMAT df;
    Format()
    {
        const GUID *axes[4] = {&GUID_XAxis, &GUID_YAxis, &GUID_RzAxis, &GUID_ZAxis};
        for (int i = 0; i < 4; ++i) rows[i] = {axes[i], (DWORD)(4 * i), 0x80FFFF03, 0};
        rows[4] = {nullptr, 16, 0x84FFFF00, 0};
        for (int n = 0; n < 16; ++n) rows[5 + n] = {&GUID_Button, (DWORD)(20 + n), 0x8000000Cu + 0x100u * n, 0};
        df = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, 36, 21, rows};
    }
};

struct Step {
    const char *name;
    HRESULT hr;
};

// The whole lookup in the product's order. Returns the first step that
// failed (name null when all succeeded) and releases everything it made.
Step RunLookup(UINT id, WORD *reportId = nullptr, std::wstring *path = nullptr)
{
    IDirectInputA *di = nullptr;
    IDirectInputJoyConfig *jc = nullptr;
    IDirectInputDeviceA *dev1 = nullptr;
    IDirectInputDevice2A *dev = nullptr;
    Step fail = {nullptr, S_OK};
    auto check = [&](const char *name, HRESULT hr) {
        if (FAILED(hr) && !fail.name) fail = {name, hr};
        return SUCCEEDED(hr);
    };
    Format f;
    DIJOYCONFIG cfg = {};
    cfg.dwSize = sizeof cfg;
    DIPROPGUIDANDPATH gp = {};
    gp.diph = {sizeof gp, sizeof(DIPROPHEADER), 0, DIPH_DEVICE};
    DIDEVICEOBJECTINSTANCEA oi = {};
    oi.dwSize = sizeof oi;
    if (check("DirectInputCreateA", DirectInputCreateA(GetModuleHandleA(nullptr), 0x0700, &di, nullptr)) &&
        check("QueryInterface(IDirectInputJoyConfig)", di->QueryInterface(IID_IDirectInputJoyConfig, (void **)&jc)) &&
        check("GetConfig", jc->GetConfig(id, &cfg, DIJC_GUIDINSTANCE)) &&
        check("CreateDevice", di->CreateDevice(cfg.guidInstance, &dev1, nullptr))) {
        HRESULT hr = dev1->QueryInterface(IID_IDirectInputDevice2A, (void **)&dev);
        dev1->Release();
        if (check("QueryInterface(IDirectInputDevice2A)", hr) &&
            check("SetDataFormat", dev->SetDataFormat(&f.df)) &&
            check("SetCooperativeLevel", dev->SetCooperativeLevel(GetDesktopWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND)) &&
            check("Acquire", dev->Acquire()) &&
            check("GetProperty(GUIDANDPATH)", dev->GetProperty(DIPROP_GUIDANDPATH, &gp.diph)) &&
            check("GetObjectInfo", dev->GetObjectInfo(&oi, 0x00010030, DIPH_BYUSAGE)) &&
            check("Unacquire", dev->Unacquire())) {
            if (reportId) *reportId = oi.wReportId;
            if (path) *path = gp.wszPath;
        }
    }
    if (dev) dev->Release();
    if (jc) {
        jc->Unacquire();
        jc->Release();
    }
    if (di) di->Release();
    return fail;
}

class FakeDInput : public ::testing::Test {
protected:
    void SetUp() override { FakeDI_Reset(); }
    void TearDown() override { FakeDI_Reset(); }
};

TEST_F(FakeDInput, StructureSizesAreTheOnesTheProductPasses)
{
    EXPECT_EQ(sizeof(DIJOYCONFIG), 1176u);
    EXPECT_EQ(sizeof(DIPROPGUIDANDPATH), 552u);
    EXPECT_EQ(sizeof(DIPROPHEADER), 16u);
    EXPECT_EQ(sizeof(DIDEVICEOBJECTINSTANCEA), 316u);
}

TEST_F(FakeDInput, ConfiguredJoystickAnswersTheWholeLookupAndLogsIt)
{
    FakeDI_AddJoystick(4, kPath, 0x0102);
    WORD reportId = 0;
    std::wstring path;
    Step s = RunLookup(4, &reportId, &path);
    ASSERT_EQ(s.name, nullptr) << s.name << " failed: 0x" << std::hex << s.hr;
    EXPECT_EQ(reportId, 0x0102);
    EXPECT_EQ(path, kPath);
    EXPECT_EQ(FakeDI_LiveObjects(), 0);
    EXPECT_EQ(FakeDI_AcquiredDevices(), 0);
    EXPECT_EQ(FakeDI_LastCooperativeWindow(), GetDesktopWindow());

    // The format's sizes are those of the structures: 24 and 16 on x86.
    const std::string format = "SetDataFormat size=" + std::to_string(sizeof(DIDATAFORMAT)) +
                               " objsize=" + std::to_string(sizeof(DIOBJECTDATAFORMAT)) +
                               " flags=0x1 datasize=36 objs=21\n";
    EXPECT_EQ(Log(), "DirectInputCreateA version=0x700 hinst=1 outer=0\n"
                     "QueryInterface(IDirectInputJoyConfig)\n"
                     "GetConfig id=4 flags=0x1 size=1176\n"
                     "CreateDevice joystick=4 outer=0\n"
                     "QueryInterface(IDirectInputDevice2A)\n"
                     "Release(device) ref=1\n" +
                         format +
                         "SetCooperativeLevel flags=0x9 hwnd=1\n"
                     "Acquire\n"
                     "GetProperty(GUIDANDPATH) size=552 header=16 obj=0 how=0\n"
                     "GetObjectInfo size=316 obj=0x10030 how=0x3\n"
                     "Unacquire\n"
                     "Release(device) ref=0\n"
                     "Unacquire(joyconfig)\n"
                     "Release(joyconfig) ref=1\n"
                     "Release(dinput) ref=0\n");
    EXPECT_EQ(FakeDI_CallCount("Release(device)"), 2);
    EXPECT_EQ(FakeDI_CallCount("Release(joyconfig)"), 1);
    EXPECT_EQ(FakeDI_CallCount("Release(dinput)"), 1);
    EXPECT_EQ(FakeDI_CallCount("GetConfig"), 1);
    EXPECT_EQ(FakeDI_CallCount("no such call"), 0);

    FakeDI_DataFormat f;
    ASSERT_EQ(FakeDI_LastDataFormat(&f), 1);
    EXPECT_EQ(f.dwNumObjs, 21u);
    EXPECT_TRUE(IsEqualGUID(f.rows[2].guid, GUID_RzAxis));
    EXPECT_EQ(f.rows[2].dwOfs, 8u);
    EXPECT_FALSE(f.rows[4].hasGuid);
    EXPECT_EQ(f.rows[20].dwType, 0x80000F0Cu);
}

TEST_F(FakeDInput, EveryNamedCallCanBeMadeToFail)
{
    FakeDI_AddJoystick(4, kPath, 1);
    const char *calls[] = {"DirectInputCreateA", "QueryInterface(IDirectInputJoyConfig)", "GetConfig", "CreateDevice",
                           "QueryInterface(IDirectInputDevice2A)", "SetDataFormat", "SetCooperativeLevel", "Acquire",
                           "GetProperty(GUIDANDPATH)", "GetObjectInfo", "Unacquire"};
    HRESULT hr = (HRESULT)0x80041000;
    for (const char *c : calls) {
        FakeDI_Reset();
        FakeDI_AddJoystick(4, kPath, 1);
        FakeDI_FailCall(c, ++hr);
        Step s = RunLookup(4);
        ASSERT_NE(s.name, nullptr) << c;
        EXPECT_STREQ(s.name, c);
        EXPECT_EQ(s.hr, hr) << c;
        EXPECT_EQ(FakeDI_CallCount(c), 1) << c;
        EXPECT_EQ(FakeDI_LiveObjects(), 0) << c;
        FakeDI_FailCall(c, S_OK);
        EXPECT_EQ(RunLookup(4).name, nullptr) << c << " still fails after clearing";
    }
}

TEST_F(FakeDInput, FailedCreationCallsLeaveTheirOutPointerNull)
{
    FakeDI_AddJoystick(1, kPath, 0);
    FakeDI_FailCall("DirectInputCreateA", E_FAIL);
    IDirectInputA *di = reinterpret_cast<IDirectInputA *>(1);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), E_FAIL);
    EXPECT_EQ(di, nullptr);
    FakeDI_FailCall("DirectInputCreateA", S_OK);
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);

    FakeDI_FailCall("CreateDevice", DIERR_DEVICENOTREG);
    GUID g;
    FakeDI_JoystickGuid(1, &g);
    IDirectInputDeviceA *dev = reinterpret_cast<IDirectInputDeviceA *>(1);
    EXPECT_EQ(di->CreateDevice(g, &dev, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(dev, nullptr);
    FakeDI_FailCall("QueryInterface(IDirectInputJoyConfig)", E_NOINTERFACE);
    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(di->QueryInterface(IID_IDirectInputJoyConfig, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    di->Release();
    EXPECT_EQ(FakeDI_LiveObjects(), 0);
}

TEST_F(FakeDInput, SuccessCodesAreReturnedAfterTheWorkIsDone)
{
    FakeDI_AddJoystick(2, kPath, 7);
    FakeDI_FailCall("GetObjectInfo", S_FALSE);
    IDirectInputA *di = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);
    GUID g;
    FakeDI_JoystickGuid(2, &g);
    IDirectInputDeviceA *dev = nullptr;
    ASSERT_EQ(di->CreateDevice(g, &dev, nullptr), S_OK);
    DIDEVICEOBJECTINSTANCEA oi = {};
    oi.dwSize = sizeof oi;
    EXPECT_EQ(dev->GetObjectInfo(&oi, 0x00010030, DIPH_BYUSAGE), S_FALSE);
    EXPECT_EQ(oi.wReportId, 7);
    dev->Release();
    di->Release();
}

TEST_F(FakeDInput, LookupsThatFindNothingAnswerLikeDirectInput)
{
    FakeDI_AddJoystick(0, kPath, 0); // no report id: no X axis to describe
    IDirectInputA *di = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);
    IDirectInputJoyConfig *jc = nullptr;
    ASSERT_EQ(di->QueryInterface(IID_IDirectInputJoyConfig, (void **)&jc), S_OK);
    DIJOYCONFIG cfg = {};
    cfg.dwSize = sizeof cfg;
    EXPECT_EQ(jc->GetConfig(0xFFFFFFFFu, &cfg, DIJC_GUIDINSTANCE), DIERR_NOMOREITEMS);
    EXPECT_NE(Log().find("GetConfig id=4294967295 flags=0x1 size=1176\n"), std::string::npos);
    cfg.dwSize = 100;
    EXPECT_EQ(jc->GetConfig(0, &cfg, DIJC_GUIDINSTANCE), DIERR_INVALIDPARAM);

    GUID foreign = GUID_Joystick;
    IDirectInputDeviceA *dev = nullptr;
    EXPECT_EQ(di->CreateDevice(foreign, &dev, nullptr), DIERR_DEVICENOTREG);
    cfg.dwSize = sizeof cfg;
    ASSERT_EQ(jc->GetConfig(0, &cfg, DIJC_GUIDINSTANCE), S_OK);
    ASSERT_EQ(di->CreateDevice(cfg.guidInstance, &dev, nullptr), S_OK);

    DIDEVICEOBJECTINSTANCEA oi;
    memset(&oi, 0xAB, sizeof oi);
    oi.dwSize = sizeof oi;
    EXPECT_EQ(dev->GetObjectInfo(&oi, 0x00010030, DIPH_BYUSAGE), DIERR_OBJECTNOTFOUND);
    EXPECT_EQ(oi.wReportId, 0xABAB) << "the structure must stay untouched";

    DIPROPDWORD range = {};
    range.diph = {sizeof range, sizeof(DIPROPHEADER), 0, DIPH_DEVICE};
    EXPECT_EQ(dev->GetProperty(DIPROP_BUFFERSIZE, &range.diph), E_NOTIMPL);
    DIPROPGUIDANDPATH gp = {};
    gp.diph = {sizeof gp, sizeof(DIPROPHEADER), 0, DIPH_BYOFFSET};
    EXPECT_EQ(dev->GetProperty(DIPROP_GUIDANDPATH, &gp.diph), DIERR_INVALIDPARAM);

    void *p = nullptr;
    EXPECT_EQ(dev->QueryInterface(IID_IDirectInputJoyConfig, &p), E_NOINTERFACE);
    EXPECT_EQ(FakeDI_CallCount("QueryInterface(IDirectInputJoyConfig)"), 2);
    EXPECT_EQ(dev->QueryInterface(IID_IDirectInputDevice7A, &p), S_OK);
    static_cast<IUnknown *>(p)->Release();
    dev->Release();
    jc->Release();
    di->Release();
    EXPECT_EQ(FakeDI_LiveObjects(), 0);
}

TEST_F(FakeDInput, DeviceStateRulesCatchMisorderedCalls)
{
    FakeDI_AddJoystick(3, kPath, 0);
    IDirectInputA *di = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);
    GUID g;
    FakeDI_JoystickGuid(3, &g);
    IDirectInputDeviceA *dev = nullptr;
    ASSERT_EQ(di->CreateDevice(g, &dev, nullptr), S_OK);
    EXPECT_EQ(dev->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    EXPECT_EQ(dev->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    Format f;
    ASSERT_EQ(dev->SetDataFormat(&f.df), S_OK);
    EXPECT_EQ(dev->Acquire(), S_OK);
    EXPECT_EQ(dev->Acquire(), S_FALSE);
    EXPECT_EQ(FakeDI_AcquiredDevices(), 1);
    EXPECT_EQ(dev->SetDataFormat(&f.df), DIERR_ACQUIRED);
    EXPECT_EQ(dev->Unacquire(), S_OK);
    EXPECT_EQ(dev->Unacquire(), S_FALSE);
    ASSERT_EQ(dev->Acquire(), S_OK);
    dev->Release(); // released while acquired
    EXPECT_EQ(FakeDI_AcquiredDevices(), 0);
    di->Release();
}

TEST_F(FakeDInput, LeakedObjectsStayCountedAcrossReset)
{
    IDirectInputA *di = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);
    EXPECT_EQ(FakeDI_LiveObjects(), 1);
    FakeDI_Reset();
    EXPECT_EQ(FakeDI_LiveObjects(), 1);
    EXPECT_EQ(FakeDI_CallLog(nullptr, 0), 0);
    EXPECT_EQ(di->AddRef(), 2u);
    EXPECT_EQ(di->Release(), 1u);
    EXPECT_EQ(di->Release(), 0u);
    EXPECT_EQ(FakeDI_LiveObjects(), 0);
}

TEST_F(FakeDInput, CallLogIsCutToTheBufferButReportsItsFullLength)
{
    IDirectInputA *di = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), S_OK);
    di->Release();
    int n = FakeDI_CallLog(nullptr, 0);
    ASSERT_GT(n, 10);
    char small[8];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(FakeDI_CallLog(small, sizeof small), n);
    EXPECT_STREQ(small, "DirectI");
}

unsigned __stdcall LookupLoop(void *)
{
    for (int i = 0; i < 200; ++i)
        if (RunLookup(9).name) return 1;
    return 0;
}

TEST_F(FakeDInput, ConcurrentLookupsKeepCountsExact)
{
    FakeDI_AddJoystick(9, kPath, 5);
    HANDLE t[4];
    for (HANDLE &h : t) h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, LookupLoop, nullptr, 0, nullptr));
    ASSERT_EQ(WaitForMultipleObjects(4, t, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE h : t) {
        DWORD code = 1;
        GetExitCodeThread(h, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(h);
    }
    EXPECT_EQ(FakeDI_CallCount("GetConfig"), 800);
    EXPECT_EQ(FakeDI_CallCount("Release(device)"), 1600);
    EXPECT_EQ(FakeDI_LiveObjects(), 0);
}

TEST_F(FakeDInput, JoystickSpecificationsParseWithOptionalReportIds)
{
    EXPECT_EQ(FakeDI_ParseJoysticks("0=\\\\.\\pipe\\a;7=\\\\.\\pipe\\b,0x102"), 2);
    WORD rid = 0xFFFF;
    std::wstring path;
    EXPECT_EQ(RunLookup(7, &rid, &path).name, nullptr);
    EXPECT_EQ(rid, 0x102);
    EXPECT_EQ(path, L"\\\\.\\pipe\\b");
    EXPECT_STREQ(RunLookup(0).name, "GetObjectInfo") << "no report id given: no X axis";
    // Bad entries are reported; good ones around them still count.
    EXPECT_EQ(FakeDI_ParseJoysticks("x=\\\\.\\pipe\\c;5=;6=\\\\.\\pipe\\d,zz;8=\\\\.\\pipe\\e,1"), -1);
    EXPECT_EQ(RunLookup(8, nullptr, &path).name, nullptr);
    EXPECT_EQ(path, L"\\\\.\\pipe\\e");
    EXPECT_STREQ(RunLookup(5).name, "GetConfig");
    EXPECT_STREQ(RunLookup(6).name, "GetConfig");
}

// Runs in a child process that was given TAVREL_FAKEDI_JOYSTICKS.
TEST(FakeDInputChild, DISABLED_SeesJoysticksFromTheEnvironment)
{
    WORD rid = 0;
    std::wstring path;
    Step s = RunLookup(3, &rid, &path);
    ASSERT_EQ(s.name, nullptr);
    EXPECT_EQ(path, L"\\\\.\\pipe\\from-env");
    EXPECT_EQ(rid, 0x21);
    EXPECT_STREQ(RunLookup(4).name, "GetConfig");
}

TEST(FakeDInputEnvironment, AnotherProcessSeesJoysticksFromTheEnvironment)
{
    EXPECT_EQ(RunSelf("FakeDInputChild.DISABLED_SeesJoysticksFromTheEnvironment",
                      {{"TAVREL_FAKEDI_JOYSTICKS", "3=\\\\.\\pipe\\from-env,33"}}),
              0);
}

} // namespace
