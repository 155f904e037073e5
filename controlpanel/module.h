// Module-wide state of the control-panel server.
#pragma once

#include <windows.h>
#include <string.h>

extern HINSTANCE g_hInstance;        // resource module and DirectInput instance
extern LONG g_cServerLocks;          // live factories + sheet objects + LockServer(TRUE)s
extern CRITICAL_SECTION g_csDirectInput; // serialises InitializeDirectInput

// {3F8B2D17-6C4E-4A91-B5D0-8E27C61A9F43}
static const CLSID CLSID_ControlPanelServer = {
    0x3F8B2D17, 0x6C4E, 0x4A91, {0xB5, 0xD0, 0x8E, 0x27, 0xC6, 0x1A, 0x9F, 0x43}};

// Class and interface ids are compared as their 16 raw bytes.
inline bool IsEqualGUIDBytes(const GUID &a, const GUID &b)
{
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Enters a critical section for the life of the holder.
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION *cs) : m_pcs(cs) { EnterCriticalSection(m_pcs); }
    ~ScopedLock() { LeaveCriticalSection(m_pcs); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

private:
    CRITICAL_SECTION *m_pcs;
};
