// The converter's path through DirectInput (the fake dinput.dll), and a
// DeviceID that finds no converter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ffdriver/output_thread.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

int FakeLive() { return FakeDI_LiveObjects(); }

TEST(FindDevicePath, ReturnsThePathAndReleasesEverything)
{
    FakeDI_Reset();
    FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-path", 0);
    char path[256] = {};
    EXPECT_EQ(FindDevicePath(5, path), S_OK);
    EXPECT_STREQ(path, "\\\\.\\pipe\\tavrel-path");
    EXPECT_EQ(FakeLive(), 0);
    EXPECT_EQ(FakeDI_CallCount("GetConfig"), 1);
    EXPECT_EQ(FakeDI_CallCount("GetProperty(GUIDANDPATH)"), 1);

    EXPECT_EQ(FindDevicePath(6, path), (HRESULT)0x80070103) << "no such joystick";
    EXPECT_EQ(FakeLive(), 0);

    // 300 characters come back cut to 259: too long for the 256 bytes.
    std::wstring longPath(300, L'a');
    FakeDI_AddJoystick(7, longPath.c_str(), 0);
    EXPECT_TRUE(FAILED(FindDevicePath(7, path)));
    EXPECT_EQ(FakeLive(), 0);
    FakeDI_Reset();
}

TEST(FindDevicePath, AFailingStepIsTheResultAndNothingLeaks)
{
    const char *steps[] = {"DirectInputCreateA", "QueryInterface(IDirectInputJoyConfig)", "GetConfig",
                           "CreateDevice", "QueryInterface(IDirectInputDevice2A)", "GetProperty(GUIDANDPATH)"};
    for (const char *step : steps) {
        FakeDI_Reset();
        FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-path", 0);
        FakeDI_FailCall(step, (HRESULT)0x80041234);
        char path[256];
        EXPECT_EQ(FindDevicePath(5, path), (HRESULT)0x80041234) << step;
        EXPECT_EQ(FakeLive(), 0) << step;
        if (strcmp(step, "QueryInterface(IDirectInputDevice2A)") == 0) {
            EXPECT_EQ(FakeDI_CallCount("Release(device)"), 1) << "the first device interface goes at once";
        }
    }
    FakeDI_Reset();
}

TEST(DeviceID, AJoystickDirectInputDoesNotKnowOpensNothing)
{
    FakeDI_Reset();
    CEffectDriver *p = CEffectDriver_Create();
    EXPECT_EQ(p->lpVtbl->DeviceID(p, 0x0700, 9, TRUE, 3, nullptr), S_OK);
    EXPECT_EQ(p->m_dwDeviceIndex, 3u);
    EXPECT_EQ(g_aChannels[3].m_hChannel, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_aChannels[3].m_hThread, 0u);
    EXPECT_EQ(p->lpVtbl->Release(p), 0u);
    EXPECT_EQ(FakeLive(), 0);
}

} // namespace
