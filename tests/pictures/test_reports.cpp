#include <gtest/gtest.h>

#include <cstring>

#include "device/converter_reports.h"

namespace {

struct Report {
    uint8_t b[8];
};

Report MakeReport(uint8_t low, uint8_t high, uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4,
                  uint8_t type, uint8_t id = 0)
{
    Report r = {{id, low, high, a1, a2, a3, a4, type}};
    return r;
}

TEST(InputReport, AxisBytesScaleToSixteenBitsInTheirOwnFields)
{
    const struct {
        uint8_t byte;
        LONG value;
    } cases[] = {{0x00, 0},     {0x4F, 20303}, {0x50, 20560}, {0x80, 32896},
                 {0xAF, 44975}, {0xB0, 45232}, {0xFF, 65535}};
    for (const auto &c : cases) {
        // The other three axes hold a different byte, so a swapped field shows.
        const uint8_t o = static_cast<uint8_t>(c.byte ^ 0x01);
        Report r1 = MakeReport(0, 0, c.byte, o, o, o, 0);
        Report r4 = MakeReport(0, 0, o, o, o, c.byte, 0);
        Report r3 = MakeReport(0, 0, o, o, c.byte, o, 0);
        Report r2 = MakeReport(0, 0, o, c.byte, o, o, 0);
        EXPECT_EQ(c.value, DecodeInputReport(r1.b).A1) << int(c.byte);
        EXPECT_EQ(c.value, DecodeInputReport(r2.b).A2) << int(c.byte);
        EXPECT_EQ(c.value, DecodeInputReport(r3.b).A3) << int(c.byte);
        EXPECT_EQ(c.value, DecodeInputReport(r4.b).A4) << int(c.byte);
        EXPECT_EQ(o * 257, DecodeInputReport(r1.b).A2);
    }
}

TEST(InputReport, EachButtonBitPressesExactlyItsButton)
{
    for (int bit = 0; bit < 16; ++bit) {
        const uint16_t bits = static_cast<uint16_t>(1u << bit);
        Report r = MakeReport(bits & 0xFF, bits >> 8, 0x80, 0x80, 0x80, 0x80, 0x70);
        JoystickState s = DecodeInputReport(r.b);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(i == bit ? 0x80 : 0x00, s.buttons[i]) << "bit " << bit << " button " << i + 1;
    }
    Report all = MakeReport(0xFF, 0xFF, 0, 0, 0, 0, 0);
    JoystickState s = DecodeInputReport(all.b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0x80, s.buttons[i]);
}

TEST(InputReport, IdentificationByteGivesKindAndPresence)
{
    Report zero = MakeReport(0, 0, 0, 0, 0, 0, 0);
    JoystickState s = DecodeInputReport(zero.b);
    EXPECT_EQ(0u, s.Type);
    EXPECT_EQ(0, ControllerKind(s));
    EXPECT_TRUE(IsControllerPresent(s));
    EXPECT_EQ(0, s.A1);
    EXPECT_EQ(0, s.A4);

    Report none = MakeReport(0, 0, 0, 0, 0, 0, 0xFF);
    s = DecodeInputReport(none.b);
    EXPECT_FALSE(IsControllerPresent(s));
    EXPECT_EQ(15, ControllerKind(s));

    for (int t = 0xF0; t <= 0xFE; ++t) {
        Report r = MakeReport(0, 0, 0, 0, 0, 0, static_cast<uint8_t>(t));
        s = DecodeInputReport(r.b);
        EXPECT_TRUE(IsControllerPresent(s)) << t;
        EXPECT_EQ(15, ControllerKind(s)) << t;
    }
    Report dial = MakeReport(0, 0, 0, 0, 0, 0, 0xE3);
    s = DecodeInputReport(dial.b);
    EXPECT_EQ(0xE3u, s.Type);
    EXPECT_EQ(14, ControllerKind(s));
}

TEST(InputReport, EqualityIgnoresByteZeroButSeesEveryOtherByte)
{
    const Report base = MakeReport(0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x72, 0x01);
    const JoystickState s = DecodeInputReport(base.b);

    Report other = base;
    other.b[0] = 0x02;
    EXPECT_TRUE(StatesEqual(s, DecodeInputReport(other.b)));

    for (int i = 1; i < 8; ++i) {
        Report changed = base;
        changed.b[i] ^= 0x01; // the low nibble of byte 7 included
        EXPECT_FALSE(StatesEqual(s, DecodeInputReport(changed.b))) << "byte " << i;
    }
}

TEST(PictureChoice, AutoFollowsTheKind)
{
    for (int kind = 0; kind < 16; ++kind) {
        PictureSet p = ChoosePictureSet(kind, kChoiceAuto);
        PictureSet q = PictureSetForKind(kind);
        EXPECT_EQ(p.highlighted, q.highlighted);
        EXPECT_EQ(p.normal, q.normal);
        EXPECT_EQ(p.map, q.map);
        int h, n, m;
        switch (kind) {
        case 2: h = 154, n = 155, m = 156; break;
        case 4: h = 145, n = 146, m = 147; break;
        case 8: h = 171, n = 173, m = 172; break; // fishing: normal after map
        case 14: h = 151, n = 152, m = 153; break;
        default: h = 148, n = 149, m = 150; break;
        }
        EXPECT_EQ(h, p.highlighted) << "kind " << kind;
        EXPECT_EQ(n, p.normal) << "kind " << kind;
        EXPECT_EQ(m, p.map) << "kind " << kind;
    }
}

TEST(PictureChoice, ForcedEntriesWinOverEveryKindAndOddIndicesMeanAuto)
{
    const int expected[5][3] = {{0, 0, 0}, {168, 169, 170}, {165, 166, 167}, {162, 163, 164}, {171, 173, 172}};
    for (int choice = 1; choice <= 4; ++choice) {
        for (int kind = 0; kind < 16; ++kind) {
            PictureSet p = ChoosePictureSet(kind, choice);
            EXPECT_EQ(expected[choice][0], p.highlighted) << choice << "/" << kind;
            EXPECT_EQ(expected[choice][1], p.normal) << choice << "/" << kind;
            EXPECT_EQ(expected[choice][2], p.map) << choice << "/" << kind;
        }
    }
    // A failed combo query (CB_ERR) or a stray index must not pick a set.
    for (int choice : {-1, 5, 1000}) {
        PictureSet p = ChoosePictureSet(14, choice);
        EXPECT_EQ(151, p.highlighted) << choice;
        EXPECT_EQ(152, p.normal) << choice;
        EXPECT_EQ(153, p.map) << choice;
    }
}

} // namespace
