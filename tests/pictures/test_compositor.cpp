#include <gtest/gtest.h>

#include <cstring>

#include "fixture.h"
#include "testpage/compositor.h"

namespace {

JoystickState State(uint8_t low, uint8_t high, uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4, uint8_t type)
{
    const uint8_t r[8] = {0, low, high, a1, a2, a3, a4, type};
    return DecodeInputReport(r);
}

// A pad at rest: every axis centred, nothing pressed.
JoystickState Idle(uint8_t type = 0x70) { return State(0, 0, 0x80, 0x80, 0x80, 0x80, type); }

TEST(HighlightMask, ButtonsAndStrictAxisThresholds)
{
    EXPECT_EQ(0u, HighlightMask(Idle()));
    // Nothing read yet: all four axes low.
    EXPECT_EQ(0x00F00000u, HighlightMask(State(0, 0, 0, 0, 0, 0, 0)));
    EXPECT_EQ(0x0000FFFFu, HighlightMask(State(0xFF, 0xFF, 0x80, 0x80, 0x80, 0x80, 0x70)));

    JoystickState s = Idle();
    const struct {
        LONG value;
        DWORD bit; // 0: none
    } a1[] = {{0x5000, 0}, {0xB000, 0}, {0x4FFF, 1u << 21}, {0xB001, 1u << 17},
              {20303, 1u << 21}, {20560, 0}, {44975, 0}, {45232, 1u << 17}, {0, 1u << 21}, {65535, 1u << 17}};
    for (const auto &c : a1) {
        s.A1 = c.value;
        EXPECT_EQ(c.bit, HighlightMask(s)) << c.value;
    }
    // Which axis lights which element.
    s = Idle();
    s.A2 = 0;
    EXPECT_EQ(1u << 20, HighlightMask(s));
    s.A2 = 65535;
    EXPECT_EQ(1u << 16, HighlightMask(s));
    s = Idle();
    s.A3 = 0;
    EXPECT_EQ(1u << 23, HighlightMask(s));
    s.A3 = 65535;
    EXPECT_EQ(1u << 19, HighlightMask(s));
    s = Idle();
    s.A4 = 0;
    EXPECT_EQ(1u << 22, HighlightMask(s));
    s.A4 = 65535;
    EXPECT_EQ(1u << 18, HighlightMask(s));
    s = Idle();
    s.buttons[8] = 0x80;
    EXPECT_EQ(1u << 8, HighlightMask(s));
}

class Compositor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, fixture::Module()) << "picfixture.dll beside the test"; }

    // The composed picture must be normal picture n except where the map's
    // element is lit in mask, where it is highlighted picture h.
    static void ExpectComposed(const PictureCompositor &c, int h, int n, DWORD mask)
    {
        ASSERT_NE(nullptr, c.m_pComposite);
        const BYTE *d = c.m_pComposite->Pixels();
        ASSERT_NE(nullptr, d);
        for (int k = 0; k < fixture::kPixels; ++k) {
            const int e = fixture::MapByte(k);
            const bool on = e >= 1 && (mask & (1u << (e - 1)));
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(fixture::PictureByte(on ? h : n, k, ch), d[3 * k + ch]) << "pixel " << k << " e " << e;
        }
    }
};

TEST_F(Compositor, LoadsOnKindOrChoiceChangeAndComposesOnMaskChangeOnly)
{
    PictureCompositor c(fixture::Module());
    EXPECT_EQ(nullptr, c.m_pComposite);
    EXPECT_EQ(0xFFFFFFFFu, c.m_dwLastMask);
    EXPECT_EQ(-1, c.m_nLastKind);

    c.UpdatePicture(State(0, 0, 0, 0, 0, 0, 0)); // nothing read yet: kind 0
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(1, c.m_cCompositions);
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 149));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pHighlighted, 148));
    EXPECT_EQ(300, c.m_pComposite->Width());
    ExpectComposed(c, 148, 149, 0x00F00000);

    c.UpdatePicture(State(0, 0, 0, 0, 0, 0, 0));
    c.UpdatePicture(State(0, 0, 1, 2, 3, 79, 0x01)); // axes stay low; kind stays 0
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(1, c.m_cCompositions);

    c.UpdatePicture(State(0x02, 0, 0, 0, 0, 0, 0)); // button 2
    EXPECT_EQ(1, c.m_cSetLoads);
    EXPECT_EQ(2, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0x00F00002);

    c.UpdatePicture(State(0x02, 0, 0, 0, 0, 0, 0x70)); // same set, other kind
    EXPECT_EQ(2, c.m_cSetLoads);
    EXPECT_EQ(3, c.m_cCompositions);

    c.UpdatePicture(State(0x02, 0, 0, 0, 0, 0, 0x40)); // digital pad
    EXPECT_EQ(3, c.m_cSetLoads);
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 146));
    ExpectComposed(c, 145, 146, 0x00F00002);

    // The same kind again after a new choice reloads and composes.
    c.SetSelection(kChoiceDance);
    c.UpdatePicture(State(0x02, 0, 0, 0, 0, 0, 0x40));
    EXPECT_EQ(4, c.m_cSetLoads);
    EXPECT_EQ(5, c.m_cCompositions);
    ExpectComposed(c, 165, 166, 0x00F00002);
    EXPECT_EQ(2, c.m_nSelection);

    c.SetSelection(CB_ERR);
    EXPECT_EQ(kChoiceAuto, c.m_nSelection);
    c.UpdatePicture(State(0x02, 0, 0, 0, 0, 0, 0x40));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 146));
}

TEST_F(Compositor, FishingChoiceUsesTheFishingRolesAndMatchesItsKind)
{
    PictureCompositor c(fixture::Module());
    c.SetSelection(kChoiceFishing);
    c.UpdatePicture(Idle(0x70));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 173));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pHighlighted, 171));
    EXPECT_EQ(fixture::MapByte(1), c.m_pMap->Pixels()[1]);
    ExpectComposed(c, 171, 173, 0);

    PictureCompositor k(fixture::Module());
    k.UpdatePicture(Idle(0x80));
    EXPECT_EQ(0, std::memcmp(c.m_pComposite->Pixels(), k.m_pComposite->Pixels(), 288000));

    c.SetSelection(kChoiceAuto);
    c.UpdatePicture(Idle(0x70));
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 149));
}

TEST_F(Compositor, UnplugBlanksAndAPadComingBackIsComposed)
{
    PictureCompositor c(fixture::Module());
    c.UpdatePicture(Idle(0x70));
    EXPECT_EQ(1, c.m_cCompositions);

    c.UpdatePicture(Idle(0xFF));
    EXPECT_EQ(2, c.m_cSetLoads); // kind 15's set
    EXPECT_EQ(1, c.m_cBlanks);
    EXPECT_EQ(1, c.m_cCompositions);
    EXPECT_TRUE(fixture::HoldsPicture(*c.m_pNormal, 149));
    const BYTE *d = c.m_pComposite->Pixels();
    for (size_t i = 0; i < 288000; i += 3) {
        ASSERT_EQ(0xFF, d[i]) << i; // RGB(217, 217, 255), stored blue first
        ASSERT_EQ(0xD9, d[i + 1]);
        ASSERT_EQ(0xD9, d[i + 2]);
    }

    // Kind stays 15 and the mask is unchanged, but the pad is back: the
    // blank must not stay up.
    c.UpdatePicture(Idle(0xF0));
    EXPECT_EQ(2, c.m_cSetLoads);
    EXPECT_EQ(2, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0);

    c.UpdatePicture(Idle(0xFF));
    c.UpdatePicture(Idle(0x70)); // two-stick pad back: same set, reloaded
    EXPECT_EQ(3, c.m_cSetLoads);
    EXPECT_EQ(3, c.m_cCompositions);
    ExpectComposed(c, 148, 149, 0);
}

TEST_F(Compositor, MissingResourcesStillGiveAPictureToPaint)
{
    // The test program carries no pictures: the set stays as created.
    PictureCompositor c(GetModuleHandleA(nullptr));
    c.UpdatePicture(Idle(0x70));
    ASSERT_NE(nullptr, c.m_pComposite);
    ASSERT_NE(nullptr, c.m_pComposite->Pixels());
    EXPECT_EQ(1, c.m_cCompositions);
    c.UpdatePicture(Idle(0xFF));
    EXPECT_EQ(0xFF, c.m_pComposite->Pixels()[0]);
}

TEST(CompositorModule, DefaultsToTheModuleHoldingTheCode)
{
    PictureCompositor c;
    EXPECT_EQ(GetModuleHandleA(nullptr), c.ResourceModule());
}

} // namespace
