#include "tests/doubles/debugcapture.h"

#include <process.h>

#include <cstring>

namespace {

// Held by the listener thread of the one capture that reads the buffer.
// A mutex, not a semaphore: should a test process die while capturing, the
// next capture gets it back (abandoned) instead of waiting forever.
const char kOwnerLockName[] = "TavrelDebugCaptureOwner";
const DWORD kBufferSize = 4096;

bool Equals(const std::string &line, const std::string &text) { return line == text; }
bool StartsWith(const std::string &line, const std::string &prefix) { return line.compare(0, prefix.size(), prefix) == 0; }

} // namespace

DebugCapture::DebugCapture()
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_changed);
}

DebugCapture::~DebugCapture()
{
    Stop();
    DeleteCriticalSection(&m_lock);
}

bool DebugCapture::Start(DWORD lockTimeoutMs)
{
    if (m_thread) return true;
    m_lockTimeoutMs = lockTimeoutMs;
    m_startOk = false;
    m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_ready || !m_quit) {
        Stop();
        return false;
    }
    m_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &DebugCapture::ThreadMain, this, 0, nullptr));
    if (!m_thread) {
        Stop();
        return false;
    }
    // The listener sets m_ready once it is reading, or when it gave up.
    HANDLE h[2] = {m_ready, m_thread};
    WaitForMultipleObjects(2, h, FALSE, INFINITE);
    if (!m_startOk) {
        Stop();
        return false;
    }
    return true;
}

void DebugCapture::Stop()
{
    if (m_thread) {
        SetEvent(m_quit);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_ready) CloseHandle(m_ready);
    if (m_quit) CloseHandle(m_quit);
    m_ready = m_quit = nullptr;
    m_startOk = false;
}

bool DebugCapture::Running() const { return m_thread != nullptr && m_startOk; }

unsigned __stdcall DebugCapture::ThreadMain(void *self)
{
    static_cast<DebugCapture *>(self)->Listen();
    return 0;
}

void DebugCapture::Listen()
{
    HANDLE owner = CreateMutexA(nullptr, FALSE, kOwnerLockName);
    if (!owner) {
        SetEvent(m_ready);
        return;
    }
    HANDLE w[2] = {owner, m_quit};
    DWORD r = WaitForMultipleObjects(2, w, FALSE, m_lockTimeoutMs);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED_0) {
        CloseHandle(owner);
        SetEvent(m_ready);
        return;
    }

    // Writers create "DBWinMutex" themselves; holding it too keeps it alive.
    HANDLE dbwinMutex = CreateMutexA(nullptr, FALSE, "DBWinMutex");
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
    void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBufferSize) : nullptr;
    HANDLE bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    HANDLE dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");

    if (view && bufferReady && dataReady) {
        m_startOk = true;
        SetEvent(m_ready);
        const char *base = static_cast<const char *>(view);
        HANDLE waits[2] = {dataReady, m_quit};
        for (;;) {
            SetEvent(bufferReady);
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;
            Line line;
            memcpy(&line.pid, base, sizeof(DWORD));
            const char *text = base + sizeof(DWORD);
            size_t n = 0;
            while (n < kBufferSize - sizeof(DWORD) && text[n]) ++n;
            line.text.assign(text, n);
            EnterCriticalSection(&m_lock);
            m_lines.push_back(line);
            LeaveCriticalSection(&m_lock);
            WakeAllConditionVariable(&m_changed);
        }
        // A writer that opened the events before they go away may be
        // waiting for the buffer: let it write into the void rather than
        // time out.
        SetEvent(bufferReady);
    } else {
        SetEvent(m_ready);
    }

    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (bufferReady) CloseHandle(bufferReady);
    if (dataReady) CloseHandle(dataReady);
    if (dbwinMutex) CloseHandle(dbwinMutex);
    ReleaseMutex(owner);
    CloseHandle(owner);
}

std::vector<std::string> DebugCapture::Lines()
{
    std::vector<std::string> out;
    EnterCriticalSection(&m_lock);
    for (const Line &l : m_lines) out.push_back(l.text);
    LeaveCriticalSection(&m_lock);
    return out;
}

std::vector<std::string> DebugCapture::LinesFrom(DWORD pid)
{
    std::vector<std::string> out;
    EnterCriticalSection(&m_lock);
    for (const Line &l : m_lines)
        if (l.pid == pid) out.push_back(l.text);
    LeaveCriticalSection(&m_lock);
    return out;
}

void DebugCapture::Clear()
{
    EnterCriticalSection(&m_lock);
    m_lines.clear();
    LeaveCriticalSection(&m_lock);
}

size_t DebugCapture::Count(const std::string &text)
{
    size_t n = 0;
    EnterCriticalSection(&m_lock);
    for (const Line &l : m_lines)
        if (l.text == text) ++n;
    LeaveCriticalSection(&m_lock);
    return n;
}

bool DebugCapture::WaitUntil(DWORD timeoutMs, bool (*match)(const std::string &, const std::string &),
                             const std::string &arg)
{
    DWORD start = GetTickCount();
    EnterCriticalSection(&m_lock);
    for (;;) {
        for (const Line &l : m_lines) {
            if (match(l.text, arg)) {
                LeaveCriticalSection(&m_lock);
                return true;
            }
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) break;
        SleepConditionVariableCS(&m_changed, &m_lock, timeoutMs - elapsed);
    }
    LeaveCriticalSection(&m_lock);
    return false;
}

bool DebugCapture::WaitFor(const std::string &text, DWORD timeoutMs) { return WaitUntil(timeoutMs, Equals, text); }

bool DebugCapture::WaitForPrefix(const std::string &prefix, DWORD timeoutMs)
{
    return WaitUntil(timeoutMs, StartsWith, prefix);
}
