// The Test page on a real window, fed by a simulated converter: when it
// redraws, what its panels and picture show, the "Type:" choice, and the
// order of its teardown.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "controlpanel/propertypage.h"
#include "controlpanel/propsheet.h"
#include "pagehelpers.h"
#include "testpage/dibpicture.h"
#include "testpage/testpage.h"
#include "tests/doubles/debugcapture.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

const COLORREF kLit = RGB(240, 10, 10);
const COLORREF kDark = RGB(10, 10, 10);
const COLORREF kPictureBackground = RGB(217, 217, 255);

struct Report {
    uint8_t b[8];
};

Report MakeReport(uint8_t type, uint8_t buttonsLow = 0, uint8_t buttonsHigh = 0, uint8_t a1 = 0x80,
                  uint8_t a2 = 0x80, uint8_t a3 = 0x80, uint8_t a4 = 0x80)
{
    return Report{{0, buttonsLow, buttonsHigh, a1, a2, a3, a4, type}};
}

class TestPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeDI_Reset();
        m_pipe = UniquePipeName("test");
        m_sim.reset(new SimConverter(m_pipe));
        ASSERT_TRUE(m_sim->Start());
        FakeDI_AddJoystick(0, m_pipe.c_str(), 0);
    }
    void TearDown() override
    {
        CloseNow();
        m_sheet.reset();
        m_sim->Stop();
        g_pfnTestPageTeardownStep = nullptr;
    }

    void Open(USHORT id = 0)
    {
        m_sheet.reset(new SheetRef(id));
        m_page.reset(new PageWindow(101, TestPageDlgProc, m_sheet->get()));
        ASSERT_NE(m_page->hwnd(), nullptr);
        ASSERT_NE(page(), nullptr);
        // Waiting without pumping: no tick may poll before the test does.
        if (id == 0) {
            ASSERT_TRUE(m_sim->WaitForClients(1, 5000)) << "reader never connected";
        }
    }

    // Closing must not wait on a read that only a report would end: the
    // converter stays silent here.
    void CloseNow()
    {
        if (!m_page)
            return;
        DWORD start = GetTickCount();
        m_page.reset();
        EXPECT_LT(GetTickCount() - start, 5000u) << "closing the page waited for the converter";
    }

    TestPage *page() const { return m_page->object<TestPage>(); }

    // Sends a report and pumps until the page has decoded it.
    void Feed(const Report &r)
    {
        m_last = r;
        m_sim->SendInput(r.b);
        JoystickState want = DecodeInputReport(r.b);
        ASSERT_TRUE(PumpUntil([&] { return page()->Ticked() && StatesEqual(page()->State(), want); }, 5000))
            << "report never reached the page";
        m_page->Repaint();
    }

    COLORREF ButtonPixel(int i) const // centre of button i's square (0-based)
    {
        int x = TestPage::kButtonsX + 15 + 40 * (i / 8) + 7;
        int y = TestPage::kButtonsY + 20 * (i % 8) + 7;
        return m_page->Pixel(x, y);
    }

    COLORREF Face() const { return GetSysColor(COLOR_BTNFACE); }

    // Bounding box of the thumb-coloured pixels in rows y0..y1 of the axes panel.
    RECT DarkBox(int y0, int y1) const
    {
        RECT r = {1000, 1000, -1, -1};
        for (int y = y0; y <= y1; ++y)
            for (int x = 0; x < TestPage::kAxesW; ++x)
                if (m_page->Pixel(TestPage::kAxesX + x, TestPage::kAxesY + y) == kDark) {
                    r.left = x < r.left ? x : r.left;
                    r.right = x > r.right ? x : r.right;
                    r.top = y < r.top ? y : r.top;
                    r.bottom = y > r.bottom ? y : r.bottom;
                }
        return r;
    }
    // The panel's visible part: the page may cut off its bottom rows.
    bool AxesPanelEmpty() const
    {
        RECT rc;
        GetClientRect(m_page->hwnd(), &rc);
        for (int y = 0; y < TestPage::kAxesH && TestPage::kAxesY + y < rc.bottom; ++y)
            for (int x = 0; x < TestPage::kAxesW; ++x)
                if (m_page->Pixel(TestPage::kAxesX + x, TestPage::kAxesY + y) != Face()) {
                    ADD_FAILURE() << "axes panel pixel " << x << "," << y << " is 0x" << std::hex
                                  << m_page->Pixel(TestPage::kAxesX + x, TestPage::kAxesY + y);
                    return false;
                }
        return true;
    }

    std::wstring m_pipe;
    std::unique_ptr<SimConverter> m_sim;
    std::unique_ptr<SheetRef> m_sheet;
    std::unique_ptr<PageWindow> m_page;
    Report m_last = MakeReport(0xFF);
};

TEST_F(TestPageTest, PollRedrawsFirstThenOnlyOnChange)
{
    Open();
    TestPage *p = page();
    // Without pumping no tick can poll behind our back.
    EXPECT_TRUE(p->PollReport()) << "first poll must report a change";
    EXPECT_FALSE(p->PollReport());

    m_last = MakeReport(0x70, 0x01);
    m_sim->SendInput(m_last.b);
    BYTE copy[8];
    ASSERT_TRUE(PumpUntil([&] {
        m_sheet->get()->CopyInputReport(copy, 8);
        return memcmp(copy, m_last.b, 8) == 0;
    }, 5000));
    // Pumping may have let a tick take the change; poll once more if so.
    if (!StatesEqual(p->State(), DecodeInputReport(m_last.b))) {
        EXPECT_TRUE(p->PollReport());
    }
    EXPECT_FALSE(p->PollReport());

    // A new report id alone decodes to the same state; a new low nibble of
    // the kind byte does not.
    Report sameState = m_last;
    sameState.b[0] = 9;
    Feed(sameState);
    EXPECT_FALSE(p->PollReport());
    Report lowNibble = m_last;
    lowNibble.b[7] = 0x71;
    m_sim->SendInput(lowNibble.b);
    ASSERT_TRUE(PumpUntil([&] {
        m_sheet->get()->CopyInputReport(copy, 8);
        return copy[7] == 0x71;
    }, 5000));
    m_last = lowNibble;
    EXPECT_TRUE(StatesEqual(p->State(), DecodeInputReport(lowNibble.b)) || p->PollReport());
}

TEST_F(TestPageTest, NothingIsPaintedBeforeTheFirstTick)
{
    Open();
    ASSERT_FALSE(page()->Ticked());
    m_page->Repaint();
    EXPECT_EQ(m_page->Pixel(TestPage::kPictureX + 150, TestPage::kPictureY + 160), Face());
    EXPECT_EQ(m_page->Pixel(TestPage::kPictureX, TestPage::kPictureY), Face());
    EXPECT_EQ(ButtonPixel(0), Face());
    EXPECT_TRUE(PumpUntil([&] { return page()->Ticked(); }, 5000));
}

TEST_F(TestPageTest, ButtonLampsShowPressedReleasedAndNoController)
{
    Open();
    Feed(MakeReport(0x70, 0x00, 0x01)); // button 9 only
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(ButtonPixel(i), i == 8 ? kLit : kDark) << "button " << i + 1;
    // Button 9's square is the top of the right column.
    EXPECT_EQ(m_page->Pixel(TestPage::kButtonsX + 55 + 2, TestPage::kButtonsY + 2), kLit);
    EXPECT_EQ(m_page->Pixel(TestPage::kButtonsX + 55 + 11, TestPage::kButtonsY + 11), kLit);

    Feed(MakeReport(0x70, 0x81, 0x80)); // buttons 1, 8 and 16
    EXPECT_EQ(ButtonPixel(0), kLit);
    EXPECT_EQ(ButtonPixel(7), kLit);
    EXPECT_EQ(ButtonPixel(15), kLit);
    EXPECT_EQ(ButtonPixel(8), kDark);

    // No controller: only frames and numbers, whatever the button bits say.
    Feed(MakeReport(0xFF, 0xFF, 0xFF));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(ButtonPixel(i), Face()) << "button " << i + 1;
}

TEST_F(TestPageTest, NoControllerBlanksThePictureInsideItsFrame)
{
    Open();
    Feed(MakeReport(0xFF));
    EXPECT_EQ(m_page->Pixel(10, 10), kPictureBackground);
    EXPECT_EQ(m_page->Pixel(309, 329), kPictureBackground);
    EXPECT_EQ(m_page->Pixel(160, 170), kPictureBackground);
    // The sunken frame hugs the picture: not the picture colour just outside.
    EXPECT_NE(m_page->Pixel(9, 9), kPictureBackground);
    EXPECT_NE(m_page->Pixel(310, 330), kPictureBackground);
    EXPECT_TRUE(AxesPanelEmpty());
}

TEST_F(TestPageTest, BarsPlaceTheirThumbsByValue)
{
    Open();
    // Twisting pad: four bars at y 0, 25, 50, 75; offsets 0, 30, 41, 60.
    Feed(MakeReport(0x20, 0, 0, 0x00, 0x80, 0xB0, 0xFF));
    const int ys[] = {0, 25, 50, 75};
    const int offsets[] = {0, 30, 41, 60};
    for (int i = 0; i < 4; ++i) {
        // Row 13 of a bar lies below the label's digits and above the edge.
        RECT r = DarkBox(ys[i] + 13, ys[i] + 13);
        // The sunken edge covers the two outermost columns.
        int left = offsets[i] < 2 ? 2 : offsets[i];
        int right = offsets[i] + 9 > 67 ? 67 : offsets[i] + 9;
        EXPECT_EQ(r.left, left) << "bar " << i;
        EXPECT_EQ(r.right, right) << "bar " << i;
    }
    EXPECT_EQ(DarkBox(100, 164).right, -1) << "nothing below the fourth bar";
}

TEST_F(TestPageTest, AxesPanelFollowsTheKindNotTheTypeChoice)
{
    Open();
    // Two-stick pad: boxes at y 0 and 75, thumbs 10 x 10.
    Feed(MakeReport(0x70, 0, 0, 0x80, 0xB0, 0x00, 0x00));
    RECT top = DarkBox(2, 50);
    EXPECT_EQ(top.left, 30);
    EXPECT_EQ(top.top, 41);
    EXPECT_EQ(top.right, 39);
    EXPECT_EQ(top.bottom, 50);
    RECT bottom = DarkBox(77, 125);
    EXPECT_EQ(bottom.left, 2);
    EXPECT_EQ(bottom.top, 77);
    EXPECT_EQ(bottom.right, 9);

    // Fishing: a box, then bars at 75 and 100.
    Feed(MakeReport(0x80, 0, 0, 0x00, 0x00, 0xFF, 0x00));
    EXPECT_EQ(DarkBox(88, 88).left, 60);
    EXPECT_EQ(DarkBox(113, 113).left, 2);
    EXPECT_EQ(DarkBox(130, 164).right, -1);

    // Dial pad: one box only.
    Feed(MakeReport(0xE0, 0, 0, 0xFF, 0xFF, 0x00, 0x00));
    EXPECT_EQ(DarkBox(2, 67).right, 67);
    EXPECT_EQ(DarkBox(71, 164).right, -1);

    // Digital pad, and an unknown kind, leave the panel empty, "Hori" or not.
    HWND hCombo = GetDlgItem(m_page->hwnd(), TestPage::kTypeCombo);
    SendMessageW(hCombo, CB_SETCURSEL, kChoiceHori, 0);
    SendMessageW(m_page->hwnd(), WM_COMMAND, MAKEWPARAM(TestPage::kTypeCombo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(hCombo));
    Feed(MakeReport(0x40));
    EXPECT_TRUE(AxesPanelEmpty());
    Feed(MakeReport(0x30));
    EXPECT_TRUE(AxesPanelEmpty());
}

TEST_F(TestPageTest, TypeChoiceRedrawsAtOnce)
{
    Open();
    Feed(MakeReport(0x70));
    HWND hCombo = GetDlgItem(m_page->hwnd(), TestPage::kTypeCombo);
    ASSERT_NE(hCombo, nullptr);
    EXPECT_EQ(SendMessageW(hCombo, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(SendMessageW(hCombo, CB_GETCURSEL, 0, 0), 0);
    char text[32];
    SendMessageA(hCombo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Dance");

    ValidateRect(m_page->hwnd(), nullptr);
    SendMessageW(hCombo, CB_SETCURSEL, kChoiceDance, 0);
    SendMessageW(m_page->hwnd(), WM_COMMAND, MAKEWPARAM(TestPage::kTypeCombo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(hCombo));
    // Reloaded and invalidated without any tick in between.
    EXPECT_EQ(page()->m_nSelection, kChoiceDance);
    EXPECT_EQ(page()->m_nLastKind, 7);
    EXPECT_NE(page()->m_pComposite, nullptr);
    EXPECT_TRUE(GetUpdateRect(m_page->hwnd(), nullptr, FALSE));
}

TEST_F(TestPageTest, TeardownStopsTheTimerBeforeTheReaderAndUnacquiresBeforeFreeingPictures)
{
    Open();
    Feed(MakeReport(0x70));
    static HWND s_hPage;
    static std::vector<std::string> s_steps;
    static int s_unacquiresBefore, s_unacquiresAtPictures;
    static BOOL s_timerAliveAtStop;
    s_hPage = m_page->hwnd();
    s_steps.clear();
    s_unacquiresBefore = FakeDI_CallCount("Unacquire");
    g_pfnTestPageTeardownStep = [](const char *step) {
        s_steps.push_back(step);
        if (!strcmp(step, "StopHidReader"))
            s_timerAliveAtStop = KillTimer(s_hPage, TestPage::kTimerId);
        if (!strcmp(step, "DeletePictures"))
            s_unacquiresAtPictures = FakeDI_CallCount("Unacquire");
    };
    CloseNow();
    std::vector<std::string> want = {"KillTimer", "StopHidReader", "Unacquire", "DeletePictures"};
    EXPECT_EQ(s_steps, want);
    EXPECT_FALSE(s_timerAliveAtStop) << "timer still running while the reader stops";
    EXPECT_EQ(s_unacquiresAtPictures, s_unacquiresBefore + 1);
    EXPECT_TRUE(PumpUntil([&] { return m_sim->ClientCount() == 0; }, 5000)) << "reader handle left open";
}

TEST_F(TestPageTest, FailuresAreToldToTheDebuggerAndThePageRunsOn)
{
    DebugCapture dbg;
    ASSERT_TRUE(dbg.Start());
    FakeDI_FailCall("Acquire", S_FALSE); // any non-zero answer counts
    Open();
    EXPECT_TRUE(dbg.WaitFor("Failed to acquire joystck\n", 5000));
    Feed(MakeReport(0x70, 0x01));
    EXPECT_EQ(ButtonPixel(0), kLit);
    CloseNow();

    dbg.Clear();
    Open(7); // no configuration for joystick 7
    EXPECT_TRUE(dbg.WaitFor("InitializeDirectInput failed!\n", 5000));
    EXPECT_TRUE(PumpUntil([&] { return page()->Ticked(); }, 5000));
    m_page->Repaint();
    // The stored report is still all zero: kind 0, a controller "present".
    EXPECT_EQ(ButtonPixel(0), kDark);
    dbg.Stop();
    for (const std::string &line : dbg.Lines())
        EXPECT_NE(line, "Failed to acquire joystck\n");
}

} // namespace
