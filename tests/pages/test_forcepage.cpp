// The Force page on a real window: what reaches the simulated converter for
// presses, drags and releases, how the buttons paint, and what the page
// reports when it has no device.
#include <gtest/gtest.h>

#include <windows.h>
#include <prsht.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controlpanel/propertypage.h"
#include "controlpanel/propsheet.h"
#include "forcepage/forcepage.h"
#include "pagehelpers.h"
#include "tests/doubles/debugcapture.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

const COLORREF kHeld = RGB(240, 10, 10);
const COLORREF kReleased = RGB(10, 10, 10);

std::vector<uint8_t> Bytes(std::initializer_list<int> b)
{
    std::vector<uint8_t> v;
    for (int x : b)
        v.push_back(static_cast<uint8_t>(x));
    return v;
}

// A Force page against a simulated converter reachable as joystick 0.
class ForcePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeDI_Reset();
        m_pipe = UniquePipeName("force");
        m_sim.reset(new SimConverter(m_pipe));
        ASSERT_TRUE(m_sim->Start());
    }
    void TearDown() override
    {
        m_page.reset();
        m_sheet.reset();
        m_sim->Stop();
    }

    void Open(WORD reportId)
    {
        FakeDI_AddJoystick(0, m_pipe.c_str(), reportId);
        OpenPage(0);
    }
    void OpenPage(USHORT id)
    {
        m_sheet.reset(new SheetRef(id));
        m_page.reset(new PageWindow(102, ForcePageDlgProc, m_sheet->get()));
        ASSERT_NE(m_page->hwnd(), nullptr);
        ASSERT_NE(m_page->object<ForcePage>(), nullptr);
    }

    void Send(UINT msg, int x, int y)
    {
        SendMessageW(m_page->hwnd(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }

    // Every report the converter has received so far, in order.
    std::vector<std::vector<uint8_t>> Received(size_t expected)
    {
        m_sim->WaitForOutputs(expected, 5000);
        // A little longer, so that an unexpected extra report shows up too.
        Sleep(50);
        std::vector<std::vector<uint8_t>> out;
        for (const SimOutput &o : m_sim->Outputs())
            out.push_back(o.bytes);
        return out;
    }

    COLORREF Centre(const RECT &rc)
    {
        m_page->Repaint();
        return m_page->Pixel((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }

    std::wstring m_pipe;
    std::unique_ptr<SimConverter> m_sim;
    std::unique_ptr<SheetRef> m_sheet;
    std::unique_ptr<PageWindow> m_page;
};

TEST_F(ForcePageTest, RumblePressDragAndReleaseSendTheDistanceWithTheReportIdLowByte)
{
    Open(0x0102);
    Send(WM_LBUTTONDOWN, 100, 40);
    Send(WM_MOUSEMOVE, 110, 37);  // 10 right, 3 up
    Send(WM_MOUSEMOVE, 110, 37);  // unchanged: still sent
    Send(WM_MOUSEMOVE, 100, 340); // 300 away: capped
    Send(WM_MOUSEMOVE, 100, 40);  // back at the press point, still held
    EXPECT_EQ(Centre(ForcePage::kRumbleRect), kHeld);
    Send(WM_LBUTTONUP, 100, 40);

    auto got = Received(6);
    std::vector<std::vector<uint8_t>> want = {
        Bytes({2, 1, 0, 0, 255}), Bytes({2, 1, 0, 0, 10}), Bytes({2, 1, 0, 0, 10}),
        Bytes({2, 1, 0, 0, 255}), Bytes({2, 1, 0, 0, 0}),  Bytes({2, 1, 0, 0, 0})};
    EXPECT_EQ(got, want);
    EXPECT_EQ(Centre(ForcePage::kRumbleRect), kReleased);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ForcePageTest, ShockHoldIgnoresMovesAndReleaseClearsBothMotors)
{
    Open(0);
    Send(WM_LBUTTONDOWN, 113, 23); // last pixel inside
    EXPECT_EQ(GetCapture(), m_page->hwnd());
    EXPECT_EQ(Centre(ForcePage::kShockRect), kHeld);
    EXPECT_EQ(Centre(ForcePage::kRumbleRect), kReleased);
    Send(WM_MOUSEMOVE, 200, 200);
    Send(WM_MOUSEMOVE, 10, 10);
    Send(WM_LBUTTONUP, 10, 10);

    auto got = Received(2);
    std::vector<std::vector<uint8_t>> want = {Bytes({0, 1, 0, 1, 0}), Bytes({0, 1, 0, 0, 0})};
    EXPECT_EQ(got, want);
    EXPECT_EQ(Centre(ForcePage::kShockRect), kReleased);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ForcePageTest, OnlyPointsInsideTheButtonRectanglesPress)
{
    Open(0);
    // Right and bottom edges are outside, as are points next to the left and top.
    const POINT misses[] = {{99, 10}, {114, 10}, {100, 24}, {100, 9}, {99, 40}, {114, 40}, {100, 54},
                            {50, 30}, {0, 0}};
    for (const POINT &p : misses) {
        Send(WM_LBUTTONDOWN, p.x, p.y);
        Send(WM_MOUSEMOVE, p.x + 5, p.y + 5);
        Send(WM_LBUTTONUP, p.x, p.y);
    }
    EXPECT_FALSE(m_sim->WaitForOutputs(1, 200));
    EXPECT_FALSE(m_page->object<ForcePage>()->Captured());

    Send(WM_LBUTTONDOWN, 100, 10);
    Send(WM_LBUTTONUP, 100, 10);
    Send(WM_LBUTTONDOWN, 113, 53);
    Send(WM_LBUTTONUP, 113, 53);
    auto got = Received(4);
    std::vector<std::vector<uint8_t>> want = {Bytes({0, 1, 0, 1, 0}), Bytes({0, 1, 0, 0, 0}),
                                              Bytes({0, 1, 0, 0, 255}), Bytes({0, 1, 0, 0, 0})};
    EXPECT_EQ(got, want);
}

TEST_F(ForcePageTest, PointerLeftOfOrAboveTheWindowReadsAsFarAway)
{
    Open(0);
    Send(WM_LBUTTONDOWN, 105, 45);
    Send(WM_MOUSEMOVE, -1, 45);  // x reads as 65535
    Send(WM_MOUSEMOVE, 105, -3); // y reads as 65533
    Send(WM_LBUTTONUP, 105, 45);
    auto got = Received(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1][4], 255);
    EXPECT_EQ(got[2][4], 255);
}

TEST_F(ForcePageTest, NothingIsSentAtConstructionOrWhenClosedWhileHeld)
{
    Open(0);
    EXPECT_FALSE(m_sim->WaitForOutputs(1, 200));
    Send(WM_LBUTTONDOWN, 105, 45);
    m_page->Destroy();
    // Only the press: the converter keeps the last values it was sent.
    auto got = Received(1);
    std::vector<std::vector<uint8_t>> want = {Bytes({0, 1, 0, 0, 255})};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(PumpUntil([&] { return m_sim->ClientCount() == 0; }, 5000)) << "write handle left open";
}

TEST_F(ForcePageTest, PageWithADeviceWritesNoDiagnostics)
{
    DebugCapture dbg;
    ASSERT_TRUE(dbg.Start());
    Open(0);
    EXPECT_TRUE(m_page->object<ForcePage>()->DeviceOpen());
    EXPECT_EQ(m_page->object<ForcePage>()->ReportId(), 0u);
    dbg.Stop();
    for (const std::string &line : dbg.Lines()) {
        EXPECT_EQ(line.find("failed!"), std::string::npos) << line;
    }
}

TEST_F(ForcePageTest, WithoutADeviceTheButtonsStillChangeColourAndNothingIsWritten)
{
    DebugCapture dbg;
    ASSERT_TRUE(dbg.Start());
    // Joystick 5 has no configuration: every step of the set-up fails.
    FakeDI_AddJoystick(0, m_pipe.c_str(), 0);
    OpenPage(5);
    EXPECT_TRUE(dbg.WaitFor("HID open failed!\n", 5000));
    dbg.Stop();
    std::vector<std::string> ours;
    for (const std::string &line : dbg.Lines())
        if (line == "InitializeDirectInput failed!\n" || line == "FindDevices failed!\n" ||
            line == "HID open failed!\n")
            ours.push_back(line);
    std::vector<std::string> want = {"InitializeDirectInput failed!\n", "FindDevices failed!\n",
                                     "HID open failed!\n"};
    EXPECT_EQ(ours, want);

    ForcePage *page = m_page->object<ForcePage>();
    EXPECT_FALSE(page->DeviceOpen());
    EXPECT_STREQ(page->DevicePath(), "");
    EXPECT_EQ(Centre(ForcePage::kShockRect), kReleased);
    Send(WM_LBUTTONDOWN, 105, 15);
    EXPECT_EQ(Centre(ForcePage::kShockRect), kHeld);
    EXPECT_EQ(page->Report().shock, 1);
    Send(WM_LBUTTONUP, 105, 15);
    EXPECT_EQ(Centre(ForcePage::kShockRect), kReleased);
    EXPECT_EQ(m_sim->ClientCount(), 0);
    EXPECT_TRUE(m_sim->Outputs().empty());
}

TEST_F(ForcePageTest, LabelsSitRightAlignedLeftOfTheButtons)
{
    Open(0);
    m_page->Repaint();
    // Some ink of each label lies within the 56 pixels left of its button's
    // 4-pixel gap, none in the gap itself.
    auto inkIn = [&](int x0, int x1, int y0, int y1) {
        COLORREF bg = m_page->Pixel(2, 2);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (m_page->Pixel(x, y) != bg)
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(40, 96, 10, 24));
    EXPECT_FALSE(inkIn(96, 100, 10, 24));
    EXPECT_TRUE(inkIn(40, 96, 40, 54));
    EXPECT_FALSE(inkIn(20, 40, 10, 54));
}

} // namespace

namespace {

// A host that hands a page no description (or one without the sheet object)
// gets a blank page that answers every message, not a crash.
TEST(PageWithoutSheet, BothPagesStayBlankAndAnswerZero)
{
    HMODULE hRes = PageResources();
    ASSERT_NE(hRes, nullptr);
    struct Page {
        int templateId;
        DLGPROC proc;
    };
    const Page pages[] = {{101, TestPageDlgProc}, {102, ForcePageDlgProc}};
    PROPSHEETPAGEW pspNoSheet = {};
    pspNoSheet.dwSize = sizeof(pspNoSheet);
    for (const Page &p : pages) {
        for (LPARAM init : {LPARAM(0), reinterpret_cast<LPARAM>(&pspNoSheet)}) {
            HWND h = CreateDialogParamW(hRes, MAKEINTRESOURCEW(p.templateId), nullptr, p.proc, init);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(GetWindowLongPtrW(h, DWLP_USER), 0);
            ShowWindow(h, SW_SHOW);
            UpdateWindow(h);
            EXPECT_EQ(p.proc(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(105, 15)), 0);
            EXPECT_EQ(p.proc(h, WM_TIMER, 1000, 0), 0);
            PumpFor(50);
            DestroyWindow(h);
        }
    }
}

} // namespace
