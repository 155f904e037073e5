// Creation of the sheet object's DirectInput objects against the fake
// DirectInput: the calls made, what a failure leaves behind, what a retry
// makes, and what the debugger is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/device/fake_env.h"
#include "tests/doubles/debugcapture.h"

namespace {

const HWND kFrame = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
const HRESULT kInjected = static_cast<HRESULT>(0x80041234);
const WCHAR kPath[] = L"\\\\.\\pipe\\tavrel-cpc-di";

using Lines = std::vector<std::string>;

// The helper's texts written by this process so far. A writer does not wait
// for the listener to file its line, so a marker of our own goes last: once
// it has arrived, every earlier line has too.
Lines OurTexts(DebugCapture &capture)
{
    static int s_marker = 0;
    std::string marker = "cpc-sync-" + std::to_string(++s_marker);
    OutputDebugStringA(marker.c_str());
    EXPECT_TRUE(capture.WaitFor(marker, 5000));
    Lines mine;
    for (const std::string &s : capture.LinesFrom(GetCurrentProcessId()))
        if (s.rfind("DIUtil", 0) == 0) mine.push_back(s);
    return mine;
}

class InitDirectInput : public FakeDirectInputTest {
protected:
    void SetUp() override
    {
        FakeDirectInputTest::SetUp();
        ASSERT_TRUE(m_capture.Start());
        FakeDI_AddJoystick(3, kPath, 0);
        m_pSheet = NewSheet();
        m_pSheet->SetID(3);
    }
    void TearDown() override
    {
        if (m_pSheet) m_pSheet->Release();
        m_capture.Stop();
        FakeDirectInputTest::TearDown();
    }
    Lines Texts() { return OurTexts(m_capture); }

    DebugCapture m_capture;
    CPropertySheetObject *m_pSheet = nullptr;
};

TEST_F(InitDirectInput, FirstCallMakesTheDeviceInOrderAndLaterCallsMakeNothing)
{
    ASSERT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    EXPECT_NE(m_pSheet->m_pdi, nullptr);
    EXPECT_NE(m_pSheet->m_pdiJoyCfg, nullptr);
    EXPECT_NE(m_pSheet->m_pdiDevice2, nullptr);

    std::string log = FakeLog();
    EXPECT_NE(log.find("GetConfig id=3 flags=0x1"), std::string::npos) << log;
    EXPECT_NE(log.find("SetCooperativeLevel flags=0x9"), std::string::npos) << log;
    EXPECT_EQ(FakeDI_LastCooperativeWindow(), kFrame);

    const Lines order = {"DirectInputCreateA", "QueryInterface(IDirectInputJoyConfig)", "GetConfig",
                         "CreateDevice", "QueryInterface(IDirectInputDevice2A)", "Release(device)",
                         "SetDataFormat", "SetCooperativeLevel"};
    Lines calls = FakeCalls();
    calls.erase(std::remove_if(calls.begin(), calls.end(),
                               [](const std::string &c) { return c.rfind("AddRef", 0) == 0; }),
                calls.end());
    EXPECT_EQ(calls, order) << log;
    EXPECT_TRUE(Texts().empty());

    int logLength = FakeDI_CallLog(nullptr, 0);
    EXPECT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    EXPECT_EQ(FakeDI_CallLog(nullptr, 0), logLength) << "a second call reached DirectInput";
}

TEST_F(InitDirectInput, UnsetIdFailsAtGetConfigAndTheRetryMakesOnlyTheDevice)
{
    m_pSheet->SetID(0xFFFF);
    HRESULT hr = m_pSheet->InitializeDirectInput(kFrame);
    EXPECT_LT(hr, 0);
    EXPECT_NE(FakeLog().find("GetConfig id=4294967295"), std::string::npos) << FakeLog();
    EXPECT_EQ(Texts(), Lines{"DIUtilCreateDeviceFromJoyConfig() - GetConfig() failed\n"});
    IDirectInput *pdi = m_pSheet->m_pdi;
    EXPECT_NE(pdi, nullptr);
    EXPECT_NE(m_pSheet->m_pdiJoyCfg, nullptr);
    EXPECT_EQ(m_pSheet->m_pdiDevice2, nullptr);

    m_pSheet->SetID(3);
    ASSERT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    EXPECT_EQ(FakeDI_CallCount("DirectInputCreateA"), 1);
    EXPECT_EQ(FakeDI_CallCount("QueryInterface(IDirectInputJoyConfig)"), 1);
    EXPECT_EQ(FakeDI_CallCount("GetConfig"), 2);
    EXPECT_EQ(FakeDI_CallCount("CreateDevice"), 1);
    EXPECT_EQ(m_pSheet->m_pdi, pdi);
}

// One step of the creation fails; the table says what must follow.
struct FailingStep {
    const char *call;
    const char *text;          // our debugger text, or null
    bool keepsDevice;          // the device interface stays after the failure
    int createsOnRetry;        // DirectInputCreateA calls the retry makes
    int configsOnRetry;        // GetConfig calls the retry makes
    int tempDevices;           // temporary devices made (each released once)
    int liveAfter;             // fake objects alive after the failure
};

class InitDirectInputStep : public InitDirectInput, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(InitDirectInputStep, FailureIsReportedAndTheRetryMakesOnlyWhatIsMissing)
{
    const FailingStep &step = GetParam();
    FakeDI_FailCall(step.call, kInjected);
    EXPECT_EQ(m_pSheet->InitializeDirectInput(kFrame), kInjected);
    EXPECT_EQ(Texts(), step.text ? Lines{step.text} : Lines{});
    EXPECT_EQ(m_pSheet->m_pdiDevice2 != nullptr, step.keepsDevice);
    // The temporary device of CreateDevice never outlives the call.
    EXPECT_EQ(FakeDI_CallCount("Release(device)"), step.tempDevices);
    EXPECT_EQ(FakeDI_LiveObjects() - m_liveBefore, step.liveAfter);

    FakeDI_FailCall(step.call, S_OK);
    int createsBefore = FakeDI_CallCount("DirectInputCreateA");
    int configsBefore = FakeDI_CallCount("GetConfig");
    int formatsBefore = FakeDI_CallCount("SetDataFormat");
    EXPECT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    EXPECT_EQ(FakeDI_CallCount("DirectInputCreateA") - createsBefore, step.createsOnRetry);
    EXPECT_EQ(FakeDI_CallCount("GetConfig") - configsBefore, step.configsOnRetry);
    if (step.keepsDevice) {
        // The format and the level are not tried again.
        EXPECT_EQ(FakeDI_CallCount("SetDataFormat"), formatsBefore);
        EXPECT_EQ(FakeDI_CallCount("CreateDevice"), 1);
    }
    EXPECT_NE(m_pSheet->m_pdiDevice2, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InitDirectInputStep,
    ::testing::Values(
        FailingStep{"DirectInputCreateA", nullptr, false, 1, 1, 0, 0},
        FailingStep{"QueryInterface(IDirectInputJoyConfig)", nullptr, false, 0, 1, 0, 1},
        FailingStep{"GetConfig", "DIUtilCreateDeviceFromJoyConfig() - GetConfig() failed\n", false, 0, 1, 0, 1},
        FailingStep{"CreateDevice", "DIUtilCreateDeviceFromJoyConfig() - CreateDevice() failed\n", false, 0, 1, 0, 1},
        FailingStep{"QueryInterface(IDirectInputDevice2A)",
                    "DIUtilCreateDeviceFromJoyConfig() - QueryInterface(IDirectInputDevice2) failed\n", false, 0, 1, 1,
                    1},
        FailingStep{"SetDataFormat", "DIUtilCreateDeviceFromJoyConfig() - SetDataFormat(Joystick) failed\n", true, 0, 0,
                    1, 2},
        FailingStep{"SetCooperativeLevel", "DIUtilCreateDeviceFromJoyConfig() - SetCooperativeLevel() failed\n", true,
                    0, 0, 1, 2}),
    [](const ::testing::TestParamInfo<FailingStep> &info) {
        std::string n;
        for (const char *c = info.param.call; *c; ++c)
            if (isalnum(static_cast<unsigned char>(*c))) n += *c;
        return n;
    });

TEST_F(InitDirectInput, DestructionUnacquiresAndReleasesInOrder)
{
    ASSERT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    FakeDI_Reset();
    m_pSheet->Release();
    m_pSheet = nullptr;
    Lines calls = FakeCalls();
    const Lines order = {"Unacquire", "Release(device)", "Unacquire(joyconfig)", "Release(joyconfig)",
                         "Release(dinput)"};
    EXPECT_EQ(calls, order) << FakeLog();
}

TEST_F(InitDirectInput, ObjectWhosePagesNeverOpenedTouchesNoDirectInput)
{
    m_pSheet->Release();
    m_pSheet = nullptr;
    EXPECT_EQ(FakeLog(), "");
}

class DeviceHelper : public FakeDirectInputTest {
protected:
    void SetUp() override
    {
        FakeDirectInputTest::SetUp();
        ASSERT_TRUE(m_capture.Start());
        ASSERT_EQ(DirectInputCreateA(GetModuleHandleA(nullptr), 0x0700, &m_pdi, nullptr), S_OK);
        ASSERT_EQ(m_pdi->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void **>(&m_pJoyCfg)), S_OK);
        FakeDI_Reset();
        FakeDI_AddJoystick(2, kPath, 0);
        m_capture.Clear();
    }
    void TearDown() override
    {
        if (m_pJoyCfg) m_pJoyCfg->Release();
        if (m_pdi) m_pdi->Release();
        m_capture.Stop();
        FakeDirectInputTest::TearDown();
    }
    Lines Texts() { return OurTexts(m_capture); }

    DebugCapture m_capture;
    IDirectInputA *m_pdi = nullptr;
    IDirectInputJoyConfig *m_pJoyCfg = nullptr;
};

TEST_F(DeviceHelper, BadPointersAreRefusedBeforeAnyCall)
{
    IDirectInputDevice2A *dev = nullptr;
    EXPECT_EQ(DIUtilCreateDeviceFromJoyConfig(2, kFrame, nullptr, m_pJoyCfg, &dev), E_POINTER);
    EXPECT_EQ(Texts(), Lines{"DIUtilCreateDeviceFromJoyConfig() - invalid pdi\n"});
    m_capture.Clear();
    EXPECT_EQ(DIUtilCreateDeviceFromJoyConfig(2, kFrame, m_pdi, nullptr, &dev), E_POINTER);
    EXPECT_EQ(Texts(), Lines{"DIUtilCreateDeviceFromJoyConfig() - invalid pdiJoyCfg\n"});
    m_capture.Clear();
    EXPECT_EQ(DIUtilCreateDeviceFromJoyConfig(2, kFrame, m_pdi, m_pJoyCfg, nullptr), E_POINTER);
    EXPECT_EQ(Texts(), Lines{"DIUtilCreateDeviceFromJoyConfig() - invalid ppdiDevice2\n"});
    EXPECT_EQ(FakeLog(), "");
    EXPECT_EQ(dev, nullptr);
}

TEST(DataFormat, DescribesJoystickStateWithRzBeforeZ)
{
    const DIDATAFORMAT &f = JoystickDataFormat;
    EXPECT_EQ(f.dwDataSize, 36u);
    ASSERT_EQ(f.dwNumObjs, 21u);
    ASSERT_TRUE(f.rgodf[2].pguid && f.rgodf[3].pguid);
    EXPECT_TRUE(IsEqualGUID(*f.rgodf[2].pguid, GUID_RzAxis));
    EXPECT_EQ(f.rgodf[2].dwOfs, 8u);
    EXPECT_TRUE(IsEqualGUID(*f.rgodf[3].pguid, GUID_ZAxis));
    EXPECT_EQ(f.rgodf[3].dwOfs, 12u);
    EXPECT_EQ(f.rgodf[4].pguid, nullptr); // the controller-kind byte: any vendor object
    EXPECT_EQ(f.rgodf[4].dwType, 0x84FFFF00u);
    // The buttons fill bytes 20..35 of JoystickState, one instance each.
    for (DWORD n = 0; n < 16; ++n) {
        EXPECT_EQ(f.rgodf[5 + n].dwOfs, 20u + n);
        EXPECT_EQ(f.rgodf[5 + n].dwType, 0x8000000Cu + n * 0x100u);
    }
}

} // namespace
