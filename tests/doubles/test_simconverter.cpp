// The simulated converter as the product's channels use it: several
// handles at once, blocking 8-byte reads, 5-byte writes, closing, unplugging
// and stopping while a read is blocked.
#include <windows.h>
#include <gtest/gtest.h>

#include <process.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/doubles/selfspawn.h"
#include "tests/doubles/simconverter.h"
#include "tests/doubles/simpad.h"

namespace {

HANDLE OpenLikeTheProduct(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

void Report(uint8_t n, uint8_t out[8])
{
    uint8_t r[8] = {0, n, 0, 0x80, 0x80, 0x80, 0x80, 0x70};
    memcpy(out, r, 8);
}

// A blocking 8-byte ReadFile on its own thread, so a test can give up on it.
struct PendingRead {
    HANDLE h;
    uint8_t buf[8] = {};
    DWORD got = 0;
    BOOL ok = FALSE;
    DWORD err = 0;
    HANDLE thread;
    static unsigned __stdcall Run(void *p)
    {
        auto *r = static_cast<PendingRead *>(p);
        r->ok = ReadFile(r->h, r->buf, 8, &r->got, nullptr);
        r->err = r->ok ? 0 : GetLastError();
        return 0;
    }
    explicit PendingRead(HANDLE handle) : h(handle)
    {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
    }
    bool Wait(DWORD ms) { return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0; }
    ~PendingRead()
    {
        if (!Wait(10000)) CancelSynchronousIo(thread);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
};

bool ReadReport(HANDLE h, uint8_t out[8], DWORD timeoutMs = 5000)
{
    PendingRead r(h);
    if (!r.Wait(timeoutMs) || !r.ok || r.got != 8) return false;
    memcpy(out, r.buf, 8);
    return true;
}

bool WriteReport(HANDLE h, const std::vector<uint8_t> &bytes)
{
    DWORD n = 0;
    return WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr) && n == bytes.size();
}

bool IsCutError(DWORD err) { return err == ERROR_BROKEN_PIPE || err == ERROR_PIPE_NOT_CONNECTED || err == ERROR_NO_DATA; }

class Sim : public ::testing::Test {
protected:
    SimConverter sim{SimConverter::UniqueName(L"selftest")};
    void SetUp() override { ASSERT_TRUE(sim.Start()); }
};

TEST_F(Sim, EveryOpenHandleGetsEachInputReport)
{
    HANDLE a = OpenLikeTheProduct(sim.PathA());
    HANDLE b = OpenLikeTheProduct(sim.PathA());
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(sim.WaitForClients(2, 5000));
    uint8_t sent[8], got[8];
    Report(0x21, sent);
    sim.SendInput(sent);
    ASSERT_TRUE(ReadReport(a, got));
    EXPECT_EQ(memcmp(got, sent, 8), 0);
    ASSERT_TRUE(ReadReport(b, got));
    EXPECT_EQ(memcmp(got, sent, 8), 0);
    CloseHandle(a);
    CloseHandle(b);
}

TEST_F(Sim, OutputReportsArriveInOrderWithTheirExactBytes)
{
    HANDLE h = OpenLikeTheProduct(sim.PathA());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(WriteReport(h, {0, 1, 0, (uint8_t)(i & 1), (uint8_t)i}));
    ASSERT_TRUE(WriteReport(h, {0, 1, 0})) << "a short write is recorded as it came";
    ASSERT_TRUE(sim.WaitForOutputs(51, 5000));
    auto out = sim.Outputs();
    ASSERT_EQ(out.size(), 51u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(out[i].bytes, (std::vector<uint8_t>{0, 1, 0, (uint8_t)(i & 1), (uint8_t)i})) << i;
        EXPECT_EQ(out[i].client, 1);
        if (i) {
            EXPECT_GE(out[i].qpc, out[i - 1].qpc);
        }
    }
    EXPECT_EQ(out[50].bytes.size(), 3u);
    sim.ClearOutputs();
    EXPECT_TRUE(sim.Outputs().empty());
    CloseHandle(h);
}

TEST_F(Sim, AHandleThatNeverReadsHoldsUpNobody)
{
    HANDLE writer = OpenLikeTheProduct(sim.PathA());
    HANDLE reader = OpenLikeTheProduct(sim.PathA());
    ASSERT_TRUE(sim.WaitForClients(2, 5000));
    uint8_t r[8];
    for (int i = 1; i <= 100; ++i) {
        Report((uint8_t)i, r);
        sim.SendInput(r);
    }
    // The writer still gets its output reports through...
    ASSERT_TRUE(WriteReport(writer, {0, 1, 0, 1, 0}));
    ASSERT_TRUE(sim.WaitForOutputs(1, 5000));
    // ...and the reader drains its own queue: increasing, ending with 100.
    int last = 0, reads = 0;
    while (last != 100 && reads < 200) {
        ASSERT_TRUE(ReadReport(reader, r)) << "after " << reads << " reads";
        EXPECT_GT(r[1], last);
        last = r[1];
        ++reads;
    }
    EXPECT_EQ(last, 100);
    EXPECT_GE(reads, 32) << "a reader keeps at least the last 32 reports";
    CloseHandle(writer);
    CloseHandle(reader);
}

TEST_F(Sim, ClosedHandlesAreCounted)
{
    HANDLE h[3];
    for (HANDLE &x : h) ASSERT_NE(x = OpenLikeTheProduct(sim.PathA()), INVALID_HANDLE_VALUE);
    ASSERT_TRUE(sim.WaitForClients(3, 5000));
    CloseHandle(h[1]);
    EXPECT_TRUE(sim.WaitForClients(2, 5000));
    CloseHandle(h[0]);
    CloseHandle(h[2]);
    EXPECT_TRUE(sim.WaitForClients(0, 5000));
    EXPECT_EQ(sim.TotalConnections(), 3);
    // Instances are recycled: opening again works.
    HANDLE again = OpenLikeTheProduct(sim.PathA());
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(sim.WaitForClients(1, 5000));
    CloseHandle(again);
}

TEST_F(Sim, ManyQuickOpensAllSucceed)
{
    std::vector<HANDLE> hs;
    for (int i = 0; i < 12; ++i) {
        HANDLE h = OpenLikeTheProduct(sim.PathA());
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "open " << i << " error " << GetLastError();
        if (h != INVALID_HANDLE_VALUE) hs.push_back(h);
    }
    EXPECT_TRUE(sim.WaitForClients((int)hs.size(), 5000));
    for (HANDLE h : hs) CloseHandle(h);
}

TEST_F(Sim, StopReturnsWhileAReadIsBlocked)
{
    HANDLE h = OpenLikeTheProduct(sim.PathA());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    PendingRead read(h);
    ASSERT_TRUE(sim.WaitForClients(1, 5000));
    EXPECT_FALSE(read.Wait(100));
    DWORD t0 = GetTickCount();
    sim.Stop();
    EXPECT_LT(GetTickCount() - t0, 5000u);
    ASSERT_TRUE(read.Wait(5000));
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(IsCutError(read.err)) << read.err;
    sim.Stop();
    CloseHandle(h);
}

TEST_F(Sim, UnpluggingCutsHandlesAndRefusesOpensUntilReplugged)
{
    HANDLE h = OpenLikeTheProduct(sim.PathA());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    PendingRead read(h);
    ASSERT_TRUE(sim.WaitForClients(1, 5000));
    sim.SetUnplugged(true);
    EXPECT_TRUE(sim.Unplugged());
    ASSERT_TRUE(read.Wait(5000));
    EXPECT_TRUE(IsCutError(read.err)) << read.err;
    EXPECT_FALSE(WriteReport(h, {0, 1, 0, 0, 0}));
    EXPECT_EQ(sim.ClientCount(), 0);
    EXPECT_EQ(OpenLikeTheProduct(sim.PathA()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    CloseHandle(h);

    sim.SetUnplugged(false);
    HANDLE again = OpenLikeTheProduct(sim.PathA());
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    uint8_t sent[8], got[8];
    Report(9, sent);
    ASSERT_TRUE(sim.WaitForClients(1, 5000));
    sim.SendInput(sent);
    ASSERT_TRUE(ReadReport(again, got));
    EXPECT_EQ(got[1], 9);
    CloseHandle(again);
}

TEST_F(Sim, ANameCanBeServedOnlyOnce)
{
    SimConverter second(sim.Path());
    EXPECT_FALSE(second.Start());
}

TEST_F(Sim, ReplayAndRepeatKeepReadersFed)
{
    uint8_t sent[8], got[8];
    Report(5, sent);
    sim.SendInput(sent); // nobody connected yet
    sim.SetReplayToNewClients(true);
    HANDLE h = OpenLikeTheProduct(sim.PathA());
    ASSERT_TRUE(ReadReport(h, got)) << "a new client gets the latest report";
    EXPECT_EQ(got[1], 5);
    sim.SetRepeatInterval(20);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ReadReport(h, got)) << "repeat " << i;
        EXPECT_EQ(got[1], 5);
    }
    CloseHandle(h);
}

// Runs in a child process: an effect driver elsewhere using the same pipe.
TEST(SimChild, DISABLED_WritesAndReadsThroughThePipe)
{
    const char *path = getenv("TAVREL_TEST_SIM_PATH");
    ASSERT_NE(path, nullptr);
    HANDLE h = OpenLikeTheProduct(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteReport(h, {0, 1, 0, 1, 0xC8}));
    uint8_t got[8];
    ASSERT_TRUE(ReadReport(h, got, 10000));
    EXPECT_EQ(got[1], 0x42);
    CloseHandle(h);
}

TEST_F(Sim, ServesOtherProcesses)
{
    std::thread child([this] {
        EXPECT_EQ(RunSelf("SimChild.DISABLED_WritesAndReadsThroughThePipe", {{"TAVREL_TEST_SIM_PATH", sim.PathA()}}), 0);
    });
    ASSERT_TRUE(sim.WaitForOutputs(1, 20000));
    EXPECT_EQ(sim.Outputs()[0].bytes, (std::vector<uint8_t>{0, 1, 0, 1, 0xC8}));
    uint8_t r[8];
    Report(0x42, r);
    sim.SendInput(r);
    child.join();
    EXPECT_TRUE(sim.WaitForClients(0, 5000));
}

TEST(SimPad, ReportsCarryTheKindAndTheState)
{
    EXPECT_EQ(PadIdentification(PadKind::TwoStick), 0x70);
    EXPECT_EQ(PadIdentification(PadKind::Digital), 0x40);
    EXPECT_EQ(PadIdentification(PadKind::Dial), 0xE0);
    EXPECT_EQ(PadIdentification(PadKind::Twist), 0x20);
    EXPECT_EQ(PadIdentification(PadKind::Fishing), 0x80);
    EXPECT_EQ(PadIdentification(PadKind::None), 0xFF);
    PadKind k;
    ASSERT_TRUE(ParsePadKind("fishing", &k));
    EXPECT_EQ(k, PadKind::Fishing);
    EXPECT_FALSE(ParsePadKind("Fishing", &k));

    PadState s;
    s.buttons = 0x8001; // buttons 1 and 16
    s.axes[2] = 0xB0;
    uint8_t r[8];
    MakeInputReport(PadKind::Dial, s, r, 3);
    const uint8_t want[8] = {3, 0x01, 0x80, 0x80, 0x80, 0xB0, 0x80, 0xE0};
    EXPECT_EQ(memcmp(r, want, 8), 0) << FormatHexBytes(r, 8);
}

TEST(SimPad, AnimationPullsThePadOutOncePerCycle)
{
    int unplugged = 0;
    uint8_t r[8];
    for (unsigned step = 0; step < kAnimationCycle; ++step) {
        AnimationFrame(PadKind::TwoStick, step, r);
        if (r[7] == 0xFF)
            ++unplugged;
        else
            EXPECT_EQ(r[7], 0x70);
    }
    EXPECT_EQ(unplugged, 2);
}

TEST(SimPad, HexTextAndReportLines)
{
    uint8_t b[8];
    EXPECT_TRUE(ParseHexBytes("00 01 00 80 80 80 80 70", b, 8));
    EXPECT_EQ(b[7], 0x70);
    EXPECT_FALSE(ParseHexBytes("00 01 00 80 80 80 80", b, 8)) << "too few";
    EXPECT_FALSE(ParseHexBytes("00 01 00 80 80 80 80 70 00", b, 8)) << "too many";
    EXPECT_FALSE(ParseHexBytes("00 01 00 80 80 80 80 7G", b, 8));
    EXPECT_FALSE(ParseHexBytes("000 1 00 80 80 80 80 70", b, 8));
    const uint8_t out[5] = {0, 1, 0, 0, 0xE1};
    EXPECT_EQ(DescribeOutputReport(1234, out, 5), "t=1234ms  active=1 shock=0 rumble=225  [00 01 00 00 E1]");
    EXPECT_EQ(DescribeOutputReport(7, out, 2), "t=7ms  bad length 2  [00 01]");
}

} // namespace
