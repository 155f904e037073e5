// The property-sheet object's HID read channel: a thread that keeps the
// converter's latest 8-byte input report for the Test page.
//
// A converter sends a report only when something changes, so a plain
// blocking read could keep the thread (and whoever stops it) waiting
// forever. The reader's handle is therefore overlapped: the thread waits on
// its read and on the stop event together, and on stop cancels the read and
// waits for the cancellation to finish before it lets go of its buffer.
#include <process.h>
#include <string.h>

#include "controlpanel/propsheet.h"
#include "device/devicesearch.h"

namespace {

const int kReportBytes = 8;
const unsigned kReaderStackBytes = 16000;
// After a failed read (no device, unplugged) the thread rests this long, on
// the stop event, instead of spinning a core.
const DWORD kRetryPauseMs = 50;

void CloseIfOpen(HANDLE &h)
{
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
}

enum ReadResult { kReadOk, kReadFailed, kReadStopped };

// One overlapped read of a whole report into buf.
ReadResult ReadReport(HANDLE hDevice, HANDLE hStop, OVERLAPPED *pov, BYTE (&buf)[kReportBytes])
{
    if (!hDevice || hDevice == INVALID_HANDLE_VALUE || !pov->hEvent) return kReadFailed;
    ResetEvent(pov->hEvent);
    DWORD cb = 0;
    if (!ReadFile(hDevice, buf, kReportBytes, &cb, pov)) {
        if (GetLastError() != ERROR_IO_PENDING) return kReadFailed;
        HANDLE waits[2] = {pov->hEvent, hStop};
        DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0) {
            // Stop (or a wait that failed): the read must be over before buf
            // and the OVERLAPPED go away.
            CancelIo(hDevice);
            GetOverlappedResult(hDevice, pov, &cb, TRUE);
            return w == WAIT_OBJECT_0 + 1 ? kReadStopped : kReadFailed;
        }
        if (!GetOverlappedResult(hDevice, pov, &cb, FALSE)) return kReadFailed;
    }
    // Anything but a whole report is not a report.
    return cb == kReportBytes ? kReadOk : kReadFailed;
}

} // namespace

HANDLE CPropertySheetObject::OpenHidDevice()
{
    char szPath[kDevicePathBytes];
    if (!GetDevicePathA(m_pdiDevice2, szPath)) return nullptr;
    return OpenConverterPathOverlapped(szPath);
}

unsigned __stdcall HidReaderThread(void *pv)
{
    CPropertySheetObject *pThis = static_cast<CPropertySheetObject *>(pv);
    OVERLAPPED ov;
    memset(&ov, 0, sizeof(ov));
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BYTE buf[kReportBytes];

    while (WaitForSingleObject(pThis->m_hStopEvent, 0) != WAIT_OBJECT_0) {
        ReadResult r = ReadReport(pThis->m_hHidDevice, pThis->m_hStopEvent, &ov, buf);
        if (r == kReadStopped) break;
        if (r == kReadOk) {
            EnterCriticalSection(&pThis->m_csReport);
            memcpy(pThis->m_abInputReport, buf, kReportBytes);
            LeaveCriticalSection(&pThis->m_csReport);
        } else {
            WaitForSingleObject(pThis->m_hStopEvent, kRetryPauseMs);
        }
    }

    if (ov.hEvent) CloseHandle(ov.hEvent);
    SetEvent(pThis->m_hDoneEvent);
    return 0;
}

void CPropertySheetObject::StartHidReader()
{
    // A second start without a stop would leak the running reader; keep the
    // one that runs.
    if (m_hReaderThread) return;

    m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hHidDevice = OpenHidDevice();
    if (!m_hStopEvent || !m_hDoneEvent) {
        // Without both events the reader could be neither stopped nor
        // waited for: run none.
        StopHidReader();
        return;
    }
    uintptr_t h = _beginthreadex(nullptr, kReaderStackBytes, HidReaderThread, this, 0, nullptr);
    m_hReaderThread = reinterpret_cast<HANDLE>(h);
    if (!h) StopHidReader();
}

void CPropertySheetObject::StopHidReader()
{
    if (m_hReaderThread) {
        if (m_hStopEvent) SetEvent(m_hStopEvent);
        WaitForSingleObject(m_hDoneEvent, INFINITE);
        // Setting the done event is the thread's last act; waiting for its
        // end as well keeps the module loaded until it has left our code.
        WaitForSingleObject(m_hReaderThread, INFINITE);
    }
    CloseIfOpen(m_hHidDevice);
    CloseIfOpen(m_hDoneEvent);
    CloseIfOpen(m_hStopEvent);
    CloseIfOpen(m_hReaderThread);
}

BYTE *CPropertySheetObject::CopyInputReport(BYTE *pDest, int cb)
{
    if (cb <= 0) return pDest;
    if (cb > kReportBytes) cb = kReportBytes;
    EnterCriticalSection(&m_csReport);
    memcpy(pDest, m_abInputReport, cb);
    LeaveCriticalSection(&m_csReport);
    return pDest;
}
