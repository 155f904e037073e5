// The pads the simulated converter can play: their identification bytes,
// their input reports and a demonstration sequence. Used by tavrelsim and
// by tests that want realistic reports.
//
// Input report (8 bytes): [0] report id, [1] buttons 1-8 (bit 0 = button 1),
// [2] buttons 9-16, [3..6] axes 1-4 (0..255), [7] identification: kind << 4,
// or 0xFF when no pad is plugged into the converter.
#pragma once

#include <cstdint>
#include <string>

enum class PadKind {
    TwoStick, // kind 7: two analog sticks, axes (1,2) and (3,4)
    Digital,  // kind 4: no axes
    Dial,     // kind 14: a large dial, axes (1,2)
    Twist,    // kind 2: twisting pad, four axes
    Wheel,    // kind 1 (no kind of its own in the panel's tables)
    Dance,    // kind 3 (likewise)
    Hori,     // kind 5 (likewise)
    Fishing,  // kind 8: reel as axes (1,2), rod as axes 3 and 4
    None,     // no pad in the converter: identification 0xFF
};

struct PadState {
    uint16_t buttons = 0;                        // bit n = button n+1
    uint8_t axes[4] = {0x80, 0x80, 0x80, 0x80}; // centred
};

// "twostick", "digital", ... (the names of the enum in lower case).
bool ParsePadKind(const std::string &name, PadKind *kind);
const char *PadKindName(PadKind kind);
// Identification byte (byte 7) of the kind.
uint8_t PadIdentification(PadKind kind);

// Fills the 8-byte input report for the kind in the given state.
void MakeInputReport(PadKind kind, const PadState &state, uint8_t out[8], uint8_t reportId = 0);

// One step of the demonstration sequence (a step every kAnimationStepMs):
// a button lamp walks through the sixteen buttons, the axes sweep back and
// forth, and every kAnimationCycle steps the pad is pulled out of the
// converter for two steps (identification 0xFF).
const unsigned kAnimationStepMs = 250;
const unsigned kAnimationCycle = 40;
void AnimationFrame(PadKind kind, unsigned step, uint8_t out[8], uint8_t reportId = 0);

// Parses "00 01 00 00 E1 ..." (exactly `count` hex bytes separated by blanks).
bool ParseHexBytes(const std::string &text, uint8_t *out, int count);
// "00 01 00 00 E1" for the bytes.
std::string FormatHexBytes(const uint8_t *bytes, size_t count);
// One line describing an output report that arrived `ms` after the start:
// "t=1234ms  active=1 shock=0 rumble=225  [00 01 00 00 E1]"; a message that
// is not 5 bytes long is shown as "t=1234ms  bad length 3  [00 01 00]".
std::string DescribeOutputReport(unsigned long ms, const uint8_t *bytes, size_t count);
