// The sheet object's HID reader against a simulated converter: reports
// arrive whole, survive a restart, and stopping never waits for a converter
// that has nothing more to say.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/fake_env.h"
#include "tests/doubles/simconverter.h"

namespace {

const HWND kFrame = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4321));
// Far beyond any prompt stop; only a hang exceeds it.
const DWORD kHangMs = 5000;

std::vector<BYTE> Copy(CPropertySheetObject *p)
{
    std::vector<BYTE> v(8);
    p->CopyInputReport(v.data(), 8);
    return v;
}

bool WaitForReport(CPropertySheetObject *p, const std::vector<BYTE> &want, DWORD ms)
{
    DWORD start = GetTickCount();
    while (Copy(p) != want) {
        if (GetTickCount() - start > ms) return false;
        Sleep(2);
    }
    return true;
}

DWORD WINAPI StopThread(void *pv)
{
    static_cast<CPropertySheetObject *>(pv)->StopHidReader();
    return 0;
}

class Reader : public FakeDirectInputTest {
protected:
    void SetUp() override
    {
        FakeDirectInputTest::SetUp();
        m_pSheet = NewSheet();
    }
    void TearDown() override
    {
        // After a hang the stopper still uses the object: leave it be.
        if (m_bHung) return;
        m_pSheet->Release();
        FakeDirectInputTest::TearDown();
    }
    // Runs StopHidReader on a helper thread so that a hang fails the test
    // instead of stalling the run.
    bool StopsWithin(CPropertySheetObject *p, DWORD ms)
    {
        HANDLE t = CreateThread(nullptr, 0, StopThread, p, 0, nullptr);
        if (!t) return false;
        bool done = WaitForSingleObject(t, ms) == WAIT_OBJECT_0;
        CloseHandle(t);
        if (!done) m_bHung = true;
        return done;
    }
    // The sheet's device reports `pipe` as its HID path.
    void AttachTo(const std::wstring &pipe)
    {
        FakeDI_AddJoystick(1, pipe.c_str(), 0);
        m_pSheet->SetID(1);
        ASSERT_EQ(m_pSheet->InitializeDirectInput(kFrame), S_OK);
    }

    CPropertySheetObject *m_pSheet = nullptr;
    bool m_bHung = false;
};

TEST_F(Reader, WithoutADeviceStartAndStopArePromptAndTheReportStaysZero)
{
    // No DirectInput device at all, then a device whose path nobody serves.
    m_pSheet->StartHidReader();
    EXPECT_TRUE(StopsWithin(m_pSheet, kHangMs));
    AttachTo(SimConverter::UniqueName(L"absent"));
    m_pSheet->StartHidReader();
    Sleep(50);
    EXPECT_TRUE(StopsWithin(m_pSheet, kHangMs));
    EXPECT_EQ(Copy(m_pSheet), std::vector<BYTE>(8, 0));
}

TEST_F(Reader, ReportsArriveWholeAndStopDoesNotWaitForTheNextOne)
{
    SimConverter sim(SimConverter::UniqueName(L"live"));
    ASSERT_TRUE(sim.Start());
    AttachTo(sim.Path());

    m_pSheet->StartHidReader();
    ASSERT_TRUE(sim.WaitForClients(1, kHangMs));
    const std::vector<BYTE> first = {1, 0x21, 0x43, 10, 20, 30, 40, 0x10};
    sim.SendInput(first.data());
    ASSERT_TRUE(WaitForReport(m_pSheet, first, kHangMs));

    // Partial and oversized copies.
    BYTE dst[20];
    memset(dst, 0xEE, sizeof(dst));
    EXPECT_EQ(m_pSheet->CopyInputReport(dst, 3), dst);
    EXPECT_EQ(std::vector<BYTE>(dst, dst + 3), std::vector<BYTE>(first.begin(), first.begin() + 3));
    EXPECT_EQ(dst[3], 0xEE);
    memset(dst, 0xEE, sizeof(dst));
    m_pSheet->CopyInputReport(dst, 20);
    EXPECT_EQ(std::vector<BYTE>(dst, dst + 8), first);
    for (int i = 8; i < 20; ++i) EXPECT_EQ(dst[i], 0xEE) << i;

    // The converter is silent now; the reader sits in a read.
    EXPECT_TRUE(StopsWithin(m_pSheet, kHangMs)) << "stop hung on a silent converter";
    EXPECT_TRUE(sim.WaitForClients(0, kHangMs)) << "the reader's handle stayed open";
    sim.Stop();
}

TEST_F(Reader, TheLastReportSurvivesARestartUntilANewOneArrives)
{
    SimConverter sim(SimConverter::UniqueName(L"restart"));
    ASSERT_TRUE(sim.Start());
    AttachTo(sim.Path());

    m_pSheet->StartHidReader();
    ASSERT_TRUE(sim.WaitForClients(1, kHangMs));
    const std::vector<BYTE> first = {1, 1, 0, 0x80, 0x80, 0x80, 0x80, 0x20};
    sim.SendInput(first.data());
    ASSERT_TRUE(WaitForReport(m_pSheet, first, kHangMs));
    ASSERT_TRUE(StopsWithin(m_pSheet, kHangMs));
    // The next report must go to the new connection, not the closing one.
    ASSERT_TRUE(sim.WaitForClients(0, kHangMs));

    m_pSheet->StartHidReader();
    ASSERT_TRUE(sim.WaitForClients(1, kHangMs));
    EXPECT_EQ(Copy(m_pSheet), first);
    const std::vector<BYTE> second = {1, 2, 0, 0x10, 0x20, 0x30, 0x40, 0x20};
    sim.SendInput(second.data());
    EXPECT_TRUE(WaitForReport(m_pSheet, second, kHangMs));
    EXPECT_TRUE(StopsWithin(m_pSheet, kHangMs));
    sim.Stop();
}

TEST_F(Reader, AnUnpluggedConverterEndsTheReadsAndStopStaysPrompt)
{
    SimConverter sim(SimConverter::UniqueName(L"unplug"));
    ASSERT_TRUE(sim.Start());
    AttachTo(sim.Path());
    m_pSheet->StartHidReader();
    ASSERT_TRUE(sim.WaitForClients(1, kHangMs));
    const std::vector<BYTE> last = {1, 0, 0, 1, 2, 3, 4, 0x30};
    sim.SendInput(last.data());
    ASSERT_TRUE(WaitForReport(m_pSheet, last, kHangMs));
    sim.SetUnplugged(true);
    Sleep(100); // the reader now meets failing reads
    EXPECT_TRUE(StopsWithin(m_pSheet, kHangMs));
    EXPECT_EQ(Copy(m_pSheet), last);
    sim.Stop();
}

} // namespace
