// From the joystick id to the converter's HID device path, and the one way
// every channel of the control panel opens that path.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif
#include <windows.h>
#include <dinput.h>

class CPropertySheetObject;

// Bytes of a device path buffer, terminating zero included.
const int kDevicePathBytes = 256;

// Finds the HID path of the sheet's joystick (its GetID) through a
// DirectInput object of its own, and the report id of its X-axis object.
// On success fills pszPath (cbPath bytes) and *pnReportId and returns true;
// on failure leaves both exactly as they were.
bool FindDevices(CPropertySheetObject *pSheet, char *pszPath, int cbPath, DWORD *pnReportId);

// Opens a converter path for synchronous reading and writing, shared with
// every other channel. INVALID_HANDLE_VALUE on failure or a null path.
HANDLE OpenConverterPath(const char *path);

// The same open, but for overlapped I/O, so that a pending read can be
// cancelled.
HANDLE OpenConverterPathOverlapped(const char *path);

// Asks a device for DIPROP_GUIDANDPATH and converts the path to the ANSI
// code page into psz (kDevicePathBytes). False when the property fails or
// the path does not fit; psz is then untouched.
bool GetDevicePathA(IDirectInputDevice2A *pDevice, char (&psz)[kDevicePathBytes]);
