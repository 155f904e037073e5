#include <gtest/gtest.h>

#include "device/converter_reports.h"

namespace {

JoystickState Decode(uint8_t id, uint8_t low, uint8_t high, uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4,
                     uint8_t type)
{
    const uint8_t r[8] = {id, low, high, a1, a2, a3, a4, type};
    return DecodeInputReport(r);
}

TEST(InputReport, AxesButtonsAndIdentification)
{
    const struct {
        uint8_t byte;
        LONG value;
    } axes[] = {{0x00, 0}, {0x4F, 20303}, {0x50, 20560}, {0x80, 32896}, {0xAF, 44975}, {0xB0, 45232}, {0xFF, 65535}};
    for (const auto &c : axes) {
        // Distinct bytes per axis, so a swapped field shows.
        JoystickState s = Decode(0, 0, 0, c.byte, c.byte ^ 1, c.byte ^ 2, c.byte ^ 3, 0);
        EXPECT_EQ(c.value, s.A1);
        EXPECT_EQ((c.byte ^ 1) * 257, s.A2);
        EXPECT_EQ((c.byte ^ 2) * 257, s.A3);
        EXPECT_EQ((c.byte ^ 3) * 257, s.A4);
    }
    for (int bit = 0; bit < 16; ++bit) {
        JoystickState s = Decode(0, (1u << bit) & 0xFF, (1u << bit) >> 8, 0, 0, 0, 0, 0);
        for (int i = 0; i < 16; ++i) ASSERT_EQ(i == bit ? 0x80 : 0x00, s.buttons[i]) << bit << "/" << i;
    }
    JoystickState s = Decode(0, 0xFF, 0xFF, 0, 0, 0, 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0x80, s.buttons[i]);
    EXPECT_EQ(0, ControllerKind(s));
    EXPECT_TRUE(IsControllerPresent(s));

    s = Decode(0, 0, 0, 0, 0, 0, 0, 0xFF);
    EXPECT_FALSE(IsControllerPresent(s));
    EXPECT_EQ(15, ControllerKind(s));
    for (int t = 0xF0; t <= 0xFE; ++t) {
        s = Decode(0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(t));
        EXPECT_TRUE(IsControllerPresent(s));
        EXPECT_EQ(15, ControllerKind(s));
    }
    s = Decode(0, 0, 0, 0, 0, 0, 0, 0xE3);
    EXPECT_EQ(0xE3u, s.Type);
    EXPECT_EQ(14, ControllerKind(s));
}

TEST(InputReport, EqualityIgnoresByteZeroButSeesEveryOtherByte)
{
    const uint8_t base[8] = {0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x72};
    const JoystickState s = DecodeInputReport(base);
    for (int i = 0; i < 8; ++i) {
        uint8_t changed[8];
        for (int j = 0; j < 8; ++j) changed[j] = base[j];
        changed[i] ^= 0x01; // byte 7: only the uninterpreted low nibble
        EXPECT_EQ(i == 0, StatesEqual(s, DecodeInputReport(changed))) << "byte " << i;
    }
}

TEST(PictureChoice, KindTableForcedEntriesAndStrayIndices)
{
    for (int kind = 0; kind < 16; ++kind) {
        int h = 148, n = 149, m = 150;
        if (kind == 2) h = 154, n = 155, m = 156;
        if (kind == 4) h = 145, n = 146, m = 147;
        if (kind == 8) h = 171, n = 173, m = 172; // fishing: normal after map
        if (kind == 14) h = 151, n = 152, m = 153;
        // Auto, and anything the combo cannot mean (CB_ERR, past the end).
        for (int choice : {0, -1, 5}) {
            PictureSet p = ChoosePictureSet(kind, choice);
            EXPECT_EQ(h, p.highlighted) << kind << "/" << choice;
            EXPECT_EQ(n, p.normal) << kind << "/" << choice;
            EXPECT_EQ(m, p.map) << kind << "/" << choice;
        }
        EXPECT_EQ(n, PictureSetForKind(kind).normal);
        const int forced[5][3] = {{0}, {168, 169, 170}, {165, 166, 167}, {162, 163, 164}, {171, 173, 172}};
        for (int choice = 1; choice <= 4; ++choice) {
            PictureSet p = ChoosePictureSet(kind, choice);
            EXPECT_EQ(forced[choice][0], p.highlighted) << kind << "/" << choice;
            EXPECT_EQ(forced[choice][1], p.normal) << kind << "/" << choice;
            EXPECT_EQ(forced[choice][2], p.map) << kind << "/" << choice;
        }
    }
}

} // namespace
