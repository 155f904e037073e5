// One output channel per device in each process: the converter's HID handle,
// the thread that turns the device's playing effects into motor values, and
// the report it last computed.
#pragma once

#include <windows.h>
#include <cstdint>

#include "device/converter_reports.h"
#include "ffdriver/effect_table.h"

struct DeviceChannel {
    DWORD m_dwDeviceIndex;
    DWORD m_dwJoystickId;
    DeviceEffects *m_pBlock;
    HANDLE m_hChannel; // 0 before the first open, INVALID_HANDLE_VALUE after a close
    uintptr_t m_hThread;
    ConverterOutputReport m_report;
    // Driver objects of this process bound to the device; the last one to go
    // sends the all-off report and closes the handle.
    LONG m_cBindings;
};

extern DeviceChannel g_aChannels[kFFDeviceCount];

// The timing pass: a playing effect stops at the first pass whose tick is
// later than its start time plus its duration.
void ExpireEffects(DeviceEffects *pBlock, DWORD dwNow);
// The motor values the device's playing effects ask for, into active, shock
// and rumble of the report (reportId and reserved are left as they are).
void ComputeMotors(const DeviceEffects *pBlock, ConverterOutputReport *pReport);
// ComputeMotors into the channel's report, then the write.
void MixMotors(DeviceChannel *pChannel);
// One pass of the output thread at tick dwNow.
void OutputPass(DeviceChannel *pChannel, DWORD dwNow);
void __cdecl OutputThread(void *pvChannel);

// The 5 report bytes to the channel; nothing when the channel is not open.
void DeviceChannel_Write(DWORD d);
// The all-off report once, then the handle is closed.
void DeviceChannel_Close(DWORD d);
// Finds and opens the converter, starts the device's output thread unless it
// already runs in this process. A channel that is open stays as it is.
void DeviceChannel_Open(DWORD d, DWORD dwJoystickId);
// Binding counts the driver objects that use the channel.
void DeviceChannel_Bind(DWORD d, DWORD dwJoystickId);
void DeviceChannel_Unbind(DWORD d);
// Nonzero once any output thread was started in this process.
BOOL DeviceChannel_AnyThreadStarted();

// The converter's HID path for a joystick id, as DirectInput knows it,
// converted to ANSI into a 256-byte buffer.
HRESULT FindDevicePath(DWORD dwJoystickId, char szPath[256]);
