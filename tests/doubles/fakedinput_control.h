// Control functions of the fake dinput.dll that tests load instead of the
// real DirectInput. A test links the CMake target `fakedinput` and calls
// these directly; the product code in the same process talks to the very
// same objects through the ordinary DirectInput interfaces.
//
// What the fake serves:
//   DirectInputCreateA (any version from 0x0300 to 0x0700) gives an object
//   with the IDirectInput7A vtable that also answers IDirectInputA/2A and
//   IDirectInputJoyConfig (one object, one reference count; the joystick
//   configuration interface is a second vtable of it). CreateDevice gives a
//   device object with the IDirectInputDevice7A vtable that also answers
//   IDirectInputDeviceA/2A and IUnknown. Methods nobody uses return
//   E_NOTIMPL. DirectInputCreateW and DirectInputCreateEx return E_NOTIMPL.
//
// Behaviour of the used calls:
//   GetConfig(id)         unknown id: DIERR_NOMOREITEMS (0x80070103), as
//                         DirectInput answers for an index with no joystick;
//                         dwSize other than sizeof(DIJOYCONFIG) (1176) or
//                         sizeof(DIJOYCONFIG_DX5): DIERR_INVALIDPARAM.
//                         With DIJC_GUIDINSTANCE it fills guidInstance
//                         (FakeDI_JoystickGuid), nothing else.
//   CreateDevice(guid)    a guid of no configured joystick: DIERR_DEVICENOTREG;
//                         non-null outer: DIERR_NOAGGREGATION.
//   SetDataFormat         null: DIERR_INVALIDPARAM; while acquired:
//                         DIERR_ACQUIRED. The format is kept
//                         (FakeDI_LastDataFormat).
//   SetCooperativeLevel   needs exactly one of EXCLUSIVE/NONEXCLUSIVE and one
//                         of FOREGROUND/BACKGROUND, else DIERR_INVALIDPARAM.
//                         Any hwnd is accepted (null too); it is kept
//                         (FakeDI_LastCooperativeWindow).
//   Acquire               no data format set yet: DIERR_INVALIDPARAM; already
//                         acquired: S_FALSE. Unacquire when not acquired:
//                         S_FALSE (DI_NOEFFECT).
//   GetProperty           DIPROP_GUIDANDPATH with dwSize 552, dwHeaderSize
//                         16, dwObj 0, dwHow DIPH_DEVICE: fills guidClass
//                         and wszPath (the joystick's path, cut to 259
//                         characters). Other header values:
//                         DIERR_INVALIDPARAM. Any other property: E_NOTIMPL.
//   GetObjectInfo         dwHow DIPH_BYUSAGE, dwObj 0x00010030 (X axis),
//                         dwSize 316: fills the X axis with wReportId = the
//                         joystick's xAxisReportId. When that is 0, or for
//                         any other object: DIERR_OBJECTNOTFOUND and the
//                         structure is left untouched. Wrong dwSize:
//                         DIERR_INVALIDPARAM.
//   IDirectInputJoyConfig Acquire/Unacquire/SetCooperativeLevel: S_OK.
//
// Call names (for FakeDI_FailCall and FakeDI_CallCount):
//   "DirectInputCreateA"
//   "QueryInterface(<iface>)" with <iface> one of IUnknown, IDirectInputA,
//       IDirectInput2A, IDirectInput7A, IDirectInputJoyConfig,
//       IDirectInputDeviceA, IDirectInputDevice2A, IDirectInputDevice7A,
//       other (any other interface id; always E_NOINTERFACE)
//   "GetConfig", "CreateDevice"
//   "SetDataFormat", "SetCooperativeLevel", "Acquire", "Unacquire",
//   "GetProperty(GUIDANDPATH)", "GetProperty(other)", "GetObjectInfo"
//       (these are the device's)
//   "Acquire(joyconfig)", "Unacquire(joyconfig)",
//   "SetCooperativeLevel(joyconfig)"
//   "AddRef(dinput)", "AddRef(joyconfig)", "AddRef(device)",
//   "Release(dinput)", "Release(joyconfig)", "Release(device)"
//   any other method: its plain name ("GetCapabilities", "EnumDevices", ...)
//
// Call log: one line per call, in call order, each ending in "\n":
//   DirectInputCreateA version=0x700 hinst=1 outer=0
//   QueryInterface(IDirectInputJoyConfig)   (its AddRef is not logged apart)
//   GetConfig id=4294967295 flags=0x1 size=1176
//   CreateDevice joystick=4 outer=0          (joystick=? for a foreign guid)
//   QueryInterface(IDirectInputDevice2A)
//   SetDataFormat size=24 objsize=16 flags=0x1 datasize=36 objs=21
//   SetCooperativeLevel flags=0x9 hwnd=1     (hwnd=1: non-null, 0: null)
//   Acquire / Unacquire / Acquire(joyconfig) / Unacquire(joyconfig)
//   GetProperty(GUIDANDPATH) size=552 header=16 obj=0 how=0
//   GetProperty(other) prop=5
//   GetObjectInfo size=316 obj=0x10030 how=0x3
//   AddRef(device) ref=2 / Release(device) ref=0   (the count after the call)
//   <other method>
//
// Failure injection: a call whose name has a failure set does nothing and
// returns that HRESULT (an interface out-parameter is set to null). A
// positive (success) code instead lets the call do its work and then
// returns that code. Calls are counted and logged either way.
//
// Joysticks can also come from the environment variable
// TAVREL_FAKEDI_JOYSTICKS, read once when the DLL is loaded:
//   id=path[,reportid];id=path[,reportid]...
// with decimal ids, ANSI paths and a report id in decimal or 0x hex
// (default 0), e.g. 0=\\.\pipe\tavrelsim;1=\\.\pipe\second,0x102
//
// All state is process-wide and guarded by one lock; any thread may call.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// No joysticks, no failures, empty log, all call counts 0. Objects that are
// still alive stay alive (FakeDI_LiveObjects keeps counting them).
void __cdecl FakeDI_Reset(void);

// Joystick `id` gets a configuration; its device reports `path` for
// DIPROP_GUIDANDPATH and, when xAxisReportId is not 0, an X axis with that
// wReportId. Adding an id again replaces it. Devices already created keep
// what they were created with.
void __cdecl FakeDI_AddJoystick(UINT id, const WCHAR *path, WORD xAxisReportId);

// Removes joystick `id` (GetConfig then fails for it).
void __cdecl FakeDI_RemoveJoystick(UINT id);

// Adds joysticks from a specification in the TAVREL_FAKEDI_JOYSTICKS format.
// Returns the number added, or -1 when any entry was malformed (the
// well-formed entries are still added).
int __cdecl FakeDI_ParseJoysticks(const char *list);

// The guidInstance that GetConfig reports for joystick `id`.
void __cdecl FakeDI_JoystickGuid(UINT id, GUID *guid);

// From now on `call` returns hr (see above). hr == S_OK removes the
// failure, so the call behaves normally again.
void __cdecl FakeDI_FailCall(const char *call, HRESULT hr);

// Number of calls of that name since the last reset (0 for unknown names).
int __cdecl FakeDI_CallCount(const char *call);

// Number of COM objects of the fake alive now (DirectInput objects and
// devices; the joystick configuration interface is part of its DirectInput
// object).
int __cdecl FakeDI_LiveObjects(void);

// Copies the call log (zero-terminated, cut to cb - 1 characters) into buf
// when buf is not null and cb > 0. Returns the length of the whole log.
int __cdecl FakeDI_CallLog(char *buf, int cb);

// Devices currently acquired.
int __cdecl FakeDI_AcquiredDevices(void);

// The window of the last SetCooperativeLevel call on a device (null before).
HWND __cdecl FakeDI_LastCooperativeWindow(void);

// The last data format given to SetDataFormat on any device.
typedef struct FakeDI_ObjectFormat {
    GUID guid;      // GUID_NULL when pguid was null
    int hasGuid;    // pguid was not null
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
} FakeDI_ObjectFormat;

typedef struct FakeDI_DataFormat {
    DWORD dwSize, dwObjSize, dwFlags, dwDataSize, dwNumObjs;
    FakeDI_ObjectFormat rows[64]; // the first min(dwNumObjs, 64) rows
} FakeDI_DataFormat;

// Returns 0 when no SetDataFormat call has been made since the last reset,
// else 1 and fills *out.
int __cdecl FakeDI_LastDataFormat(FakeDI_DataFormat *out);

#ifdef __cplusplus
}
#endif
