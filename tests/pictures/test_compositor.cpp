#include <gtest/gtest.h>

#include <cstring>

#include "fixture.h"
#include "testpage/compositor.h"

namespace {

JoystickState State(uint8_t buttons, uint8_t axes, uint8_t type)
{
    const uint8_t r[8] = {0, buttons, 0, axes, axes, axes, axes, type};
    return DecodeInputReport(r);
}

TEST(HighlightMask, ButtonsAndStrictAxisThresholds)
{
    EXPECT_EQ(0x00F00000u, HighlightMask(State(0, 0x00, 0))); // nothing read yet: all axes low
    EXPECT_EQ(0x000F0000u, HighlightMask(State(0, 0xFF, 0)));
    EXPECT_EQ(0u, HighlightMask(State(0, 0x80, 0)));
    JoystickState s = State(0, 0x80, 0);
    s.buttons[15] = 1; // any non-zero byte counts as pressed
    EXPECT_EQ(1u << 15, HighlightMask(s));

    const struct {
        LONG value;
        DWORD a1, a2, a3, a4;
    } cases[] = {{0x5000, 0, 0, 0, 0}, {0xB000, 0, 0, 0, 0},
                 {20303, 1u << 21, 1u << 20, 1u << 23, 1u << 22},
                 {45232, 1u << 17, 1u << 16, 1u << 19, 1u << 18}};
    for (const auto &c : cases) {
        JoystickState t = State(0, 0x80, 0);
        t.A1 = c.value;
        EXPECT_EQ(c.a1, HighlightMask(t)) << c.value;
        t = State(0, 0x80, 0);
        t.A2 = c.value;
        EXPECT_EQ(c.a2, HighlightMask(t)) << c.value;
        t = State(0, 0x80, 0);
        t.A3 = c.value;
        EXPECT_EQ(c.a3, HighlightMask(t)) << c.value;
        t = State(0, 0x80, 0);
        t.A4 = c.value;
        EXPECT_EQ(c.a4, HighlightMask(t)) << c.value;
    }
}

class Compositor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, fixture::Module()) << "picfixture.dll beside the test"; }

    // Normal picture n, except highlighted picture h where the map's
    // element is lit in mask.
    static void ExpectComposed(const PictureCompositor &c, int h, int n, DWORD mask)
    {
        ASSERT_TRUE(c.m_pComposite && c.m_pComposite->Pixels());
        const BYTE *d = c.m_pComposite->Pixels();
        for (int k = 0; k < fixture::kPixels; ++k) {
            const int e = fixture::MapByte(k);
            const int from = e >= 1 && (mask & (1u << (e - 1))) ? h : n;
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(fixture::PictureByte(from, k, ch), d[3 * k + ch]) << "pixel " << k << " element " << e;
        }
    }
};

TEST_F(Compositor, LoadsOnKindOrChoiceChangeAndComposesOnMaskChangeOnly)
{
    PictureCompositor c(fixture::Module());
    c.UpdatePicture(State(0, 0, 0)); // all-zero report: kind 0, two-stick set
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(1, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0x00F00000);

    c.UpdatePicture(State(0, 0, 0));
    c.UpdatePicture(State(0, 79, 0x01)); // axes within the low band, same kind
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(1, c.m_cCompositions);

    c.UpdatePicture(State(0x02, 0, 0x01)); // button 2
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(2, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0x00F00002);

    c.UpdatePicture(State(0x02, 0, 0x40)); // digital pad
    EXPECT_EQ(2, c.m_cSetLoads);
    EXPECT_EQ(3, c.m_cCompositions);
    ExpectComposed(c, 145, 146, 0x00F00002);

    c.SetSelection(kChoiceDance); // same kind, new choice: reload at once
    c.UpdatePicture(State(0x02, 0, 0x40));
    EXPECT_EQ(3, c.m_cSetLoads);
    EXPECT_EQ(4, c.m_cCompositions);
    ExpectComposed(c, 165, 166, 0x00F00002);

    c.SetSelection(kChoiceFishing); // roles: highlighted 171, normal 173, map 172
    c.UpdatePicture(State(0, 0x80, 0x40));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 173));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pHighlighted, 171));
    PictureCompositor kind8(fixture::Module());
    kind8.UpdatePicture(State(0, 0x80, 0x80));
    EXPECT_EQ(0, std::memcmp(c.m_pComposite->Pixels(), kind8.m_pComposite->Pixels(), 288000));

    c.SetSelection(CB_ERR); // a failed combo query means "Auto"
    EXPECT_EQ(kChoiceAuto, c.m_nSelection);
    c.UpdatePicture(State(0, 0x80, 0x40));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 146));
}

TEST_F(Compositor, UnplugBlanksAndAPadComingBackIsComposed)
{
    PictureCompositor c(fixture::Module());
    c.UpdatePicture(State(0, 0x80, 0x70));
    c.UpdatePicture(State(0, 0x80, 0xFF));
    EXPECT_EQ(2, c.m_cSetLoads); // kind 15's set
    EXPECT_EQ(1, c.m_cBlanks);
    EXPECT_EQ(1, c.m_cCompositions);
    const BYTE *d = c.m_pComposite->Pixels();
    for (size_t i = 0; i < 288000; i += 3) {
        ASSERT_EQ(0xFF, d[i]) << i; // RGB(217, 217, 255), blue first
        ASSERT_EQ(0xD9, d[i + 1]);
        ASSERT_EQ(0xD9, d[i + 2]);
    }

    // Kind stays 15 and the mask is unchanged, but a pad is there again:
    // the blank must not stay up.
    c.UpdatePicture(State(0, 0x80, 0xF0));
    EXPECT_EQ(2, c.m_cSetLoads);
    EXPECT_EQ(2, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0);

    c.UpdatePicture(State(0, 0x80, 0xFF));
    c.UpdatePicture(State(0, 0x80, 0x70)); // two-stick pad back: same set, reloaded
    EXPECT_EQ(3, c.m_cSetLoads);
    EXPECT_EQ(3, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0);
}

TEST(CompositorModule, DefaultsToTheModuleHoldingTheCode)
{
    PictureCompositor c;
    EXPECT_EQ(GetModuleHandleA(nullptr), c.ResourceModule());
}

} // namespace
