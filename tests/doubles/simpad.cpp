#include "tests/doubles/simpad.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct KindInfo {
    PadKind kind;
    const char *name;
    uint8_t id;
};

const KindInfo kKinds[] = {
    {PadKind::TwoStick, "twostick", 0x70}, {PadKind::Digital, "digital", 0x40}, {PadKind::Dial, "dial", 0xE0},
    {PadKind::Twist, "twist", 0x20},       {PadKind::Wheel, "wheel", 0x10},     {PadKind::Dance, "dance", 0x30},
    {PadKind::Hori, "hori", 0x50},         {PadKind::Fishing, "fishing", 0x80}, {PadKind::None, "none", 0xFF},
};

const KindInfo &Info(PadKind k)
{
    for (const KindInfo &i : kKinds)
        if (i.kind == k) return i;
    return kKinds[0];
}

// A triangle wave over 0..255 with the given period in steps.
uint8_t Sweep(unsigned step, unsigned period)
{
    unsigned p = step % period;
    unsigned half = period / 2;
    unsigned v = p < half ? p * 255 / half : (period - p) * 255 / half;
    return (uint8_t)(v > 255 ? 255 : v);
}

} // namespace

bool ParsePadKind(const std::string &name, PadKind *kind)
{
    for (const KindInfo &i : kKinds) {
        if (name == i.name) {
            *kind = i.kind;
            return true;
        }
    }
    return false;
}

const char *PadKindName(PadKind kind) { return Info(kind).name; }

uint8_t PadIdentification(PadKind kind) { return Info(kind).id; }

void MakeInputReport(PadKind kind, const PadState &state, uint8_t out[8], uint8_t reportId)
{
    out[0] = reportId;
    if (kind == PadKind::None) {
        // The converter reports nothing pressed and centred axes without a pad.
        out[1] = out[2] = 0;
        out[3] = out[4] = out[5] = out[6] = 0x80;
        out[7] = 0xFF;
        return;
    }
    out[1] = (uint8_t)(state.buttons & 0xFF);
    out[2] = (uint8_t)(state.buttons >> 8);
    for (int i = 0; i < 4; ++i) out[3 + i] = state.axes[i];
    out[7] = PadIdentification(kind);
}

void AnimationFrame(PadKind kind, unsigned step, uint8_t out[8], uint8_t reportId)
{
    unsigned inCycle = step % kAnimationCycle;
    if (inCycle >= kAnimationCycle - 2) {
        MakeInputReport(PadKind::None, PadState(), out, reportId);
        return;
    }
    PadState s;
    s.buttons = (uint16_t)(1u << (step % 16));
    if (step % 8 == 0) s.buttons |= 0x0300; // now and then a chord
    s.axes[0] = Sweep(step, 12);
    s.axes[1] = Sweep(step + 3, 12);
    s.axes[2] = Sweep(step, 20);
    s.axes[3] = Sweep(step + 5, 20);
    if (kind == PadKind::Digital) s.axes[0] = s.axes[1] = s.axes[2] = s.axes[3] = 0x80;
    MakeInputReport(kind, s, out, reportId);
}

bool ParseHexBytes(const std::string &text, uint8_t *out, int count)
{
    const char *p = text.c_str();
    for (int i = 0; i < count; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!isxdigit((unsigned char)p[0]) || !isxdigit((unsigned char)p[1])) return false;
        if (p[2] && p[2] != ' ' && p[2] != '\t') return false;
        char hex[3] = {p[0], p[1], 0};
        out[i] = (uint8_t)strtoul(hex, nullptr, 16);
        p += 2;
    }
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    return *p == 0;
}

std::string FormatHexBytes(const uint8_t *bytes, size_t count)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < count; ++i) {
        snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

std::string DescribeOutputReport(unsigned long ms, const uint8_t *bytes, size_t count)
{
    char head[96];
    if (count == 5)
        snprintf(head, sizeof head, "t=%lums  active=%u shock=%u rumble=%u  ", ms, bytes[1], bytes[3], bytes[4]);
    else
        snprintf(head, sizeof head, "t=%lums  bad length %u  ", ms, (unsigned)count);
    return std::string(head) + "[" + FormatHexBytes(bytes, count) + "]";
}
