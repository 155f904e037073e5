#include "device/converter_reports.h"

#include <cstring>

JoystickState DecodeInputReport(const uint8_t report[8])
{
    JoystickState state;
    std::memset(&state, 0, sizeof(state));
    // Multiplying by 257 puts the byte into both halves of a 16-bit value,
    // so 0xFF reaches the full 65535 that DirectInput-style ranges expect.
    state.A1 = static_cast<LONG>(report[3]) * 257;
    state.A2 = static_cast<LONG>(report[4]) * 257;
    state.A3 = static_cast<LONG>(report[5]) * 257;
    state.A4 = static_cast<LONG>(report[6]) * 257;
    state.Type = report[7];
    for (int n = 0; n < 8; ++n) {
        state.buttons[n] = (report[1] & (1u << n)) ? 0x80 : 0x00;
        state.buttons[8 + n] = (report[2] & (1u << n)) ? 0x80 : 0x00;
    }
    // Byte 0 is the HID report id and says nothing about the pad.
    return state;
}

int ControllerKind(const JoystickState &state)
{
    return static_cast<int>((state.Type >> 4) & 0x0F);
}

bool IsControllerPresent(const JoystickState &state)
{
    return state.Type != 0xFF;
}

bool StatesEqual(const JoystickState &a, const JoystickState &b)
{
    // The record has no padding, so a byte compare sees every field,
    // including the low bits of Type that nothing else interprets.
    return std::memcmp(&a, &b, sizeof(JoystickState)) == 0;
}

PictureSet PictureSetForKind(int kind)
{
    switch (kind) {
    case 2:
        return PictureSet{154, 155, 156}; // twisting pad
    case 4:
        return PictureSet{145, 146, 147}; // digital pad
    case 8:
        return PictureSet{171, 173, 172}; // fishing: its map precedes its normal picture
    case 14:
        return PictureSet{151, 152, 153}; // dial pad
    case 7:
    default:
        return PictureSet{148, 149, 150}; // two-stick pad
    }
}

PictureSet ChoosePictureSet(int kind, int choice)
{
    switch (choice) {
    case kChoiceHori:
        return PictureSet{168, 169, 170};
    case kChoiceDance:
        return PictureSet{165, 166, 167};
    case kChoiceCockpit:
        return PictureSet{162, 163, 164};
    case kChoiceFishing:
        return PictureSet{171, 173, 172};
    default:
        return PictureSetForKind(kind);
    }
}
