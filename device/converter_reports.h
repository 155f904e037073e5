// The converter's two HID reports and the record the Test page decodes the
// input report into. Both servers compile this header.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// 8 bytes exactly as one HID read delivers them.
struct ConverterInputReport {
    uint8_t reportId;    // not interpreted
    uint8_t buttonsLow;  // bit n = button n+1
    uint8_t buttonsHigh; // bit n = button n+9
    uint8_t axis[4];     // A1..A4, 0..255
    uint8_t type;        // 0xFF: no controller; high nibble: ControllerKind
};

// 5 bytes, sent whole with every write.
struct ConverterOutputReport {
    uint8_t reportId;
    uint8_t active;
    uint8_t reserved;
    uint8_t shock;  // on/off motor: 0 or 1
    uint8_t rumble; // variable motor: 0..255
};

#pragma pack(pop)

static_assert(sizeof(ConverterInputReport) == 8, "input report is 8 bytes");
static_assert(sizeof(ConverterOutputReport) == 5, "output report is 5 bytes");
static_assert(offsetof(ConverterOutputReport, shock) == 3, "shock is byte 3");
static_assert(offsetof(ConverterOutputReport, rumble) == 4, "rumble is byte 4");

// The layout DirectInput is told about (JoystickDataFormat) and the Test
// page's decoded state. Axes 0..65535, buttons 0x80 or 0.
struct JoystickState {
    LONG A1; // X
    LONG A2; // Y
    LONG A3; // Rz
    LONG A4; // Z
    DWORD Type;
    BYTE buttons[16];
};

static_assert(sizeof(JoystickState) == 36, "JoystickState is 36 bytes");
static_assert(offsetof(JoystickState, A3) == 8, "Rz comes third");
static_assert(offsetof(JoystickState, A4) == 12, "Z comes fourth");
static_assert(offsetof(JoystickState, Type) == 16, "Type at 16");
static_assert(offsetof(JoystickState, buttons) == 20, "buttons at 20");

// Resource numbers (type 100) of one picture set.
struct PictureSet {
    int highlighted;
    int normal;
    int map;
};

// "Type:" entries, in combo order.
enum TypeChoice { kChoiceAuto = 0, kChoiceHori, kChoiceDance, kChoiceCockpit, kChoiceFishing, kChoiceCount };

JoystickState DecodeInputReport(const uint8_t report[8]);
int ControllerKind(const JoystickState &state);
bool IsControllerPresent(const JoystickState &state);
bool StatesEqual(const JoystickState &a, const JoystickState &b);
PictureSet PictureSetForKind(int kind);
// The forced choice (1..4) wins over the kind; 0 ("Auto") or anything out of
// range follows the kind.
PictureSet ChoosePictureSet(int kind, int choice);
