// Binding a driver object to a device: the path lookup through DirectInput
// (the fake dinput.dll), the open, the output thread, the all-off report.
// A plain file stands in for the converter here, so every report written
// can be read back in order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ffdriver/output_thread.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

const DWORD kDev = 0;

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

// The converter as a file: every report the driver writes, in order.
class ChannelToFile : public ::testing::Test {
protected:
    std::string file;
    void SetUp() override
    {
        WipeDevice(kDev);
        char dir[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "ffd", 0, name);
        file = name;
        std::wstring wide(file.begin(), file.end());
        FakeDI_Reset();
        FakeDI_AddJoystick(3, wide.c_str(), 0);
    }
    void TearDown() override
    {
        WipeDevice(kDev);
        FakeDI_Reset();
        DeleteFileA(file.c_str());
    }
    std::vector<std::string> Reports()
    {
        std::vector<std::string> out;
        HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return out;
        char buf[5];
        DWORD n;
        while (ReadFile(h, buf, 5, &n, nullptr) && n == 5) {
            char hex[16];
            snprintf(hex, sizeof(hex), "%02X %02X %02X %02X %02X", (BYTE)buf[0], (BYTE)buf[1], (BYTE)buf[2],
                     (BYTE)buf[3], (BYTE)buf[4]);
            out.push_back(hex);
        }
        CloseHandle(h);
        return out;
    }
    bool WaitForReport(const std::string &r, size_t from, DWORD timeoutMs)
    {
        DWORD end = GetTickCount() + timeoutMs;
        do {
            std::vector<std::string> all = Reports();
            for (size_t i = from; i < all.size(); ++i)
                if (all[i] == r) return true;
            Sleep(5);
        } while ((LONG)(GetTickCount() - end) < 0);
        return false;
    }
};

TEST_F(ChannelToFile, PlaysStopsAndEndsWithOneAllOffReport)
{
    CEffectDriver *a = CEffectDriver_Create();
    ASSERT_EQ(a->lpVtbl->DeviceID(a, 0x0700, 3, TRUE, kDev, nullptr), S_OK);
    ASSERT_NE(g_aChannels[kDev].m_hThread, 0u);
    EXPECT_TRUE(WaitForReport("00 01 00 00 00", 0, 2000)) << "idle passes";

    // A second object on the same device shares the channel and the thread.
    uintptr_t thread = g_aChannels[kDev].m_hThread;
    CEffectDriver *b = CEffectDriver_Create();
    ASSERT_EQ(b->lpVtbl->DeviceID(b, 0x0700, 3, TRUE, kDev, nullptr), S_OK);
    EXPECT_EQ(g_aChannels[kDev].m_hThread, thread);

    EffectDesc e = EffectDesc::Constant(10000);
    DWORD h = 0;
    size_t mark = Reports().size();
    ASSERT_EQ(a->lpVtbl->DownloadEffect(a, 0, 1, &h, &e.eff, kAllParams | DIEP_START), S_OK);
    EXPECT_TRUE(WaitForReport("00 01 00 00 E1", mark, 2000));
    mark = Reports().size();
    EXPECT_EQ(a->lpVtbl->StopEffect(a, 0, h), S_OK);
    EXPECT_TRUE(WaitForReport("00 01 00 00 00", mark, 2000));

    // The first object's end leaves the other's channel open.
    EXPECT_EQ(a->lpVtbl->Release(a), 0u);
    mark = Reports().size();
    EXPECT_TRUE(WaitForReport("00 01 00 00 00", mark, 2000));

    EXPECT_EQ(b->lpVtbl->Release(b), 0u);
    EXPECT_EQ(g_aChannels[kDev].m_hChannel, INVALID_HANDLE_VALUE);
    std::vector<std::string> at = Reports();
    ASSERT_FALSE(at.empty());
    EXPECT_EQ(at.back(), "00 00 00 00 00");
    Sleep(200);
    EXPECT_EQ(Reports().size(), at.size()) << "nothing after the all-off report";

    // Bound again later: the channel reopens, the old thread carries on.
    CEffectDriver *c = CEffectDriver_Create();
    ASSERT_EQ(c->lpVtbl->DeviceID(c, 0x0700, 3, TRUE, kDev, nullptr), S_OK);
    EXPECT_EQ(g_aChannels[kDev].m_hThread, thread);
    mark = Reports().size();
    EXPECT_TRUE(WaitForReport("00 01 00 00 00", mark, 2000));
    EXPECT_EQ(c->lpVtbl->Release(c), 0u);
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
