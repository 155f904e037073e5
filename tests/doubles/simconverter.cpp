#include "tests/doubles/simconverter.h"

#include <process.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

// Pipe instances kept listening at once. A client that finds every
// instance taken fails at once (ERROR_PIPE_BUSY), so there must be more
// than any burst of opens can take before the acceptor makes new ones.
const int kListeners = 16;
// Input reports a connection keeps for its reader; older ones are dropped.
const size_t kQueueDepth = 32;
// How long Stop() and unplugging wait for one thread or one cancelled
// operation before giving up on it (they never block for longer).
const DWORD kJoinTimeoutMs = 5000;

void WaitBounded(HANDLE h) { WaitForSingleObject(h, kJoinTimeoutMs); }

} // namespace

struct SimConverter::Client {
    SimConverter *owner = nullptr;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE thread = nullptr;
    HANDLE wake = nullptr; // auto-reset: queue changed or cut
    OVERLAPPED rov = {};
    OVERLAPPED wov = {};
    uint8_t rbuf[64] = {};
    uint8_t wbuf[8] = {};
    std::vector<uint8_t> partial; // a message longer than rbuf, so far
    std::deque<std::array<uint8_t, 8>> queue; // guarded by owner->m_lock
    int serial = 0;
    bool cut = false;  // guarded by owner->m_lock
    bool done = false; // guarded by owner->m_lock
};

SimConverter::SimConverter(const std::wstring &pipeName) : m_name(pipeName)
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_changed);
}

SimConverter::~SimConverter()
{
    Stop();
    DeleteCriticalSection(&m_lock);
}

std::wstring SimConverter::UniqueName(const wchar_t *tag)
{
    static LONG counter = 0;
    wchar_t buf[128];
    swprintf(buf, 128, L"\\\\.\\pipe\\tavrel-%ls-%lu-%ld", tag ? tag : L"sim", GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    return buf;
}

std::string SimConverter::PathA() const
{
    int n = WideCharToMultiByte(CP_ACP, 0, m_name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, m_name.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize((size_t)n - 1);
    return s;
}

HANDLE SimConverter::CreateInstance(bool first)
{
    return CreateNamedPipeW(m_name.c_str(),
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 256, 256,
                            0, nullptr);
}

bool SimConverter::Start()
{
    if (m_started) return true;
    // Someone else serves the name already (Wine does not enforce
    // FILE_FLAG_FIRST_PIPE_INSTANCE, so ask first): an existing pipe either
    // has an instance free or times out; only a free name is "not found".
    if (WaitNamedPipeW(m_name.c_str(), 1) || GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    m_firstInstance = CreateInstance(true);
    if (m_firstInstance == INVALID_HANDLE_VALUE) {
        m_firstInstance = nullptr;
        return false;
    }
    m_stopping = false;
    m_listening = 0;
    m_acceptorIdle = false;
    m_acceptorWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_repeaterWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_acceptorWake)
        m_acceptor = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &SimConverter::AcceptorMain, this, 0, nullptr));
    if (m_repeaterWake)
        m_repeater = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &SimConverter::RepeaterMain, this, 0, nullptr));
    m_started = true;
    if (!m_acceptor || !m_repeater) {
        if (!m_acceptor && m_firstInstance) {
            CloseHandle(m_firstInstance);
            m_firstInstance = nullptr;
        }
        Stop();
        return false;
    }
    // Clients may connect once the first instance listens; while unplugged
    // nothing listens, so there is nothing to wait for.
    EnterCriticalSection(&m_lock);
    DWORD t0 = GetTickCount();
    while (m_listening == 0 && !m_unplugged && GetTickCount() - t0 < kJoinTimeoutMs)
        SleepConditionVariableCS(&m_changed, &m_lock, 100);
    LeaveCriticalSection(&m_lock);
    return true;
}

void SimConverter::Stop()
{
    if (!m_started) return;
    EnterCriticalSection(&m_lock);
    m_stopping = true;
    LeaveCriticalSection(&m_lock);
    if (m_acceptor) {
        SetEvent(m_acceptorWake);
        WaitBounded(m_acceptor);
        CloseHandle(m_acceptor);
        m_acceptor = nullptr;
    }
    if (m_repeater) {
        SetEvent(m_repeaterWake);
        WaitBounded(m_repeater);
        CloseHandle(m_repeater);
        m_repeater = nullptr;
    }
    CutClients();
    ReapClients(true);
    if (m_acceptorWake) CloseHandle(m_acceptorWake);
    if (m_repeaterWake) CloseHandle(m_repeaterWake);
    m_acceptorWake = m_repeaterWake = nullptr;
    m_started = false;
}

unsigned __stdcall SimConverter::AcceptorMain(void *self)
{
    static_cast<SimConverter *>(self)->Acceptor();
    return 0;
}

unsigned __stdcall SimConverter::RepeaterMain(void *self)
{
    static_cast<SimConverter *>(self)->Repeater();
    return 0;
}

unsigned __stdcall SimConverter::ClientMain(void *client)
{
    Client *c = static_cast<Client *>(client);
    c->owner->RunClient(c);
    return 0;
}

void SimConverter::Acceptor()
{
    struct Listener {
        HANDLE pipe = nullptr;
        OVERLAPPED ov = {};
    };
    Listener pool[kListeners];
    for (Listener &l : pool) l.ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    auto closeListener = [](Listener &l) {
        if (!l.pipe) return;
        CancelIo(l.pipe);
        WaitBounded(l.ov.hEvent);
        CloseHandle(l.pipe);
        l.pipe = nullptr;
    };
    auto spawn = [this](HANDLE pipe) {
        Client *c = new (std::nothrow) Client();
        if (c) {
            c->owner = this;
            c->pipe = pipe;
            c->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            c->rov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            c->wov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        }
        if (!c || !c->wake || !c->rov.hEvent || !c->wov.hEvent) {
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
            if (c) {
                if (c->wake) CloseHandle(c->wake);
                if (c->rov.hEvent) CloseHandle(c->rov.hEvent);
                if (c->wov.hEvent) CloseHandle(c->wov.hEvent);
                delete c;
            }
            return;
        }
        EnterCriticalSection(&m_lock);
        c->serial = m_nextSerial++;
        if (m_replay && m_haveInput) {
            std::array<uint8_t, 8> r;
            memcpy(r.data(), m_latest, 8);
            c->queue.push_back(r);
        }
        m_clients.push_back(c);
        ++m_liveClients;
        // Started under the lock, so a cut of all clients cannot miss it.
        c->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &SimConverter::ClientMain, c, 0, nullptr));
        if (!c->thread) {
            m_clients.pop_back();
            --m_liveClients;
        }
        LeaveCriticalSection(&m_lock);
        WakeAllConditionVariable(&m_changed);
        if (!c->thread) {
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
            CloseHandle(c->wake);
            CloseHandle(c->rov.hEvent);
            CloseHandle(c->wov.hEvent);
            delete c;
        }
    };

    for (;;) {
        EnterCriticalSection(&m_lock);
        bool stopping = m_stopping, unplugged = m_unplugged;
        LeaveCriticalSection(&m_lock);

        if (stopping || unplugged) {
            for (Listener &l : pool) closeListener(l);
            if (m_firstInstance) {
                CloseHandle(m_firstInstance);
                m_firstInstance = nullptr;
            }
            EnterCriticalSection(&m_lock);
            m_listening = 0;
            m_acceptorIdle = true;
            LeaveCriticalSection(&m_lock);
            WakeAllConditionVariable(&m_changed);
            if (stopping) break;
            WaitForSingleObject(m_acceptorWake, INFINITE);
            continue;
        }

        int listening = 0;
        bool failed = false;
        for (Listener &l : pool) {
            if (!l.pipe) {
                HANDLE h = m_firstInstance ? m_firstInstance : CreateInstance(false);
                m_firstInstance = nullptr;
                if (h == INVALID_HANDLE_VALUE) {
                    failed = true;
                    continue;
                }
                ResetEvent(l.ov.hEvent);
                if (ConnectNamedPipe(h, &l.ov)) {
                    spawn(h); // connected at once
                    continue;
                }
                DWORD err = GetLastError();
                if (err == ERROR_PIPE_CONNECTED) {
                    spawn(h);
                    continue;
                }
                if (err != ERROR_IO_PENDING) {
                    CloseHandle(h);
                    failed = true;
                    continue;
                }
                l.pipe = h;
            }
            ++listening;
        }
        EnterCriticalSection(&m_lock);
        m_listening = listening;
        m_acceptorIdle = false;
        LeaveCriticalSection(&m_lock);
        WakeAllConditionVariable(&m_changed);

        HANDLE waits[kListeners + 1];
        Listener *which[kListeners + 1];
        DWORD n = 0;
        for (Listener &l : pool) {
            if (l.pipe) {
                which[n] = &l;
                waits[n++] = l.ov.hEvent;
            }
        }
        waits[n] = m_acceptorWake;
        // A failed instance is retried after a pause rather than at once.
        DWORD r = WaitForMultipleObjects(n + 1, waits, FALSE, failed ? 50 : INFINITE);
        if (r >= WAIT_OBJECT_0 + n + 1) continue; // wake-up or time-out: recheck the state
        for (DWORD i = 0; i < n; ++i) {
            Listener &l = *which[i];
            if (WaitForSingleObject(l.ov.hEvent, 0) != WAIT_OBJECT_0) continue;
            DWORD bytes = 0;
            BOOL ok = GetOverlappedResult(l.pipe, &l.ov, &bytes, FALSE);
            if (ok || GetLastError() == ERROR_PIPE_CONNECTED) {
                spawn(l.pipe);
            } else {
                CloseHandle(l.pipe);
            }
            l.pipe = nullptr;
        }
        ReapClients(false);
    }
    for (Listener &l : pool) CloseHandle(l.ov.hEvent);
}

void SimConverter::RunClient(Client *c)
{
    bool readPending = false, writePending = false;
    auto startRead = [&]() -> bool {
        ResetEvent(c->rov.hEvent);
        if (!ReadFile(c->pipe, c->rbuf, sizeof c->rbuf, nullptr, &c->rov)) {
            DWORD err = GetLastError();
            if (err != ERROR_IO_PENDING && err != ERROR_MORE_DATA) return false;
        }
        readPending = true; // completion, even an immediate one, comes through the event
        return true;
    };

    bool alive = startRead();
    while (alive) {
        bool haveWrite = false;
        EnterCriticalSection(&m_lock);
        if (c->cut) {
            LeaveCriticalSection(&m_lock);
            break;
        }
        if (!writePending && !c->queue.empty()) {
            memcpy(c->wbuf, c->queue.front().data(), 8);
            c->queue.pop_front();
            haveWrite = true;
        }
        LeaveCriticalSection(&m_lock);
        if (haveWrite) {
            ResetEvent(c->wov.hEvent);
            // On a message pipe the write may stay pending until the client
            // reads; only one is ever outstanding, the rest wait in the queue.
            if (!WriteFile(c->pipe, c->wbuf, 8, nullptr, &c->wov) && GetLastError() != ERROR_IO_PENDING) break;
            writePending = true;
        }

        HANDLE waits[3] = {c->rov.hEvent, c->wake, c->wov.hEvent};
        DWORD r = WaitForMultipleObjects(writePending ? 3 : 2, waits, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0) {
            DWORD n = 0;
            BOOL ok = GetOverlappedResult(c->pipe, &c->rov, &n, FALSE);
            DWORD err = ok ? 0 : GetLastError();
            readPending = false;
            if (ok || err == ERROR_MORE_DATA) {
                c->partial.insert(c->partial.end(), c->rbuf, c->rbuf + n);
                if (ok) {
                    SimOutput o;
                    o.bytes.swap(c->partial);
                    o.tickMs = GetTickCount();
                    LARGE_INTEGER q;
                    QueryPerformanceCounter(&q);
                    o.qpc = q.QuadPart;
                    o.client = c->serial;
                    EnterCriticalSection(&m_lock);
                    m_outputs.push_back(std::move(o));
                    LeaveCriticalSection(&m_lock);
                    WakeAllConditionVariable(&m_changed);
                }
                alive = startRead();
            } else {
                alive = false; // the client closed its end
            }
        } else if (r == WAIT_OBJECT_0 + 2) {
            DWORD n = 0;
            BOOL ok = GetOverlappedResult(c->pipe, &c->wov, &n, FALSE);
            writePending = false;
            if (!ok) alive = false;
        } else if (r != WAIT_OBJECT_0 + 1) {
            alive = false;
        }
    }

    if (readPending || writePending) {
        CancelIo(c->pipe);
        if (readPending) WaitBounded(c->rov.hEvent);
        if (writePending) WaitBounded(c->wov.hEvent);
    }
    DisconnectNamedPipe(c->pipe);
    CloseHandle(c->pipe);
    c->pipe = INVALID_HANDLE_VALUE;
    EnterCriticalSection(&m_lock);
    c->done = true;
    --m_liveClients;
    LeaveCriticalSection(&m_lock);
    WakeAllConditionVariable(&m_changed);
}

void SimConverter::Repeater()
{
    for (;;) {
        EnterCriticalSection(&m_lock);
        bool stopping = m_stopping;
        DWORD ms = m_repeatMs;
        LeaveCriticalSection(&m_lock);
        if (stopping) break;
        if (WaitForSingleObject(m_repeaterWake, ms ? ms : INFINITE) != WAIT_TIMEOUT) continue;
        EnterCriticalSection(&m_lock);
        bool send = m_haveInput && !m_unplugged && !m_stopping;
        uint8_t r[8];
        memcpy(r, m_latest, 8);
        if (send) QueueInput(r);
        LeaveCriticalSection(&m_lock);
    }
}

// Called with m_lock held.
void SimConverter::QueueInput(const uint8_t report[8])
{
    std::array<uint8_t, 8> r;
    memcpy(r.data(), report, 8);
    for (Client *c : m_clients) {
        if (c->done || c->cut) continue;
        c->queue.push_back(r);
        while (c->queue.size() > kQueueDepth) c->queue.pop_front();
        SetEvent(c->wake);
    }
}

void SimConverter::SendInput(const uint8_t report[8])
{
    EnterCriticalSection(&m_lock);
    memcpy(m_latest, report, 8);
    m_haveInput = true;
    QueueInput(report);
    LeaveCriticalSection(&m_lock);
}

void SimConverter::LatestInput(uint8_t report[8])
{
    EnterCriticalSection(&m_lock);
    memcpy(report, m_latest, 8);
    LeaveCriticalSection(&m_lock);
}

void SimConverter::SetReplayToNewClients(bool on)
{
    EnterCriticalSection(&m_lock);
    m_replay = on;
    LeaveCriticalSection(&m_lock);
}

void SimConverter::SetRepeatInterval(DWORD ms)
{
    EnterCriticalSection(&m_lock);
    m_repeatMs = ms;
    LeaveCriticalSection(&m_lock);
    if (m_repeaterWake) SetEvent(m_repeaterWake);
}

void SimConverter::CutClients()
{
    EnterCriticalSection(&m_lock);
    for (Client *c : m_clients) {
        c->cut = true;
        SetEvent(c->wake);
    }
    DWORD t0 = GetTickCount();
    while (m_liveClients > 0 && GetTickCount() - t0 < kJoinTimeoutMs) SleepConditionVariableCS(&m_changed, &m_lock, 100);
    LeaveCriticalSection(&m_lock);
}

void SimConverter::ReapClients(bool all)
{
    std::vector<Client *> finished;
    EnterCriticalSection(&m_lock);
    for (size_t i = 0; i < m_clients.size();) {
        if (m_clients[i]->done || all) {
            finished.push_back(m_clients[i]);
            m_clients.erase(m_clients.begin() + (ptrdiff_t)i);
        } else {
            ++i;
        }
    }
    LeaveCriticalSection(&m_lock);
    for (Client *c : finished) {
        if (WaitForSingleObject(c->thread, kJoinTimeoutMs) != WAIT_OBJECT_0) continue; // stuck: leak it rather than free what it uses
        CloseHandle(c->thread);
        CloseHandle(c->wake);
        CloseHandle(c->rov.hEvent);
        CloseHandle(c->wov.hEvent);
        delete c;
    }
}

std::vector<SimOutput> SimConverter::Outputs()
{
    EnterCriticalSection(&m_lock);
    std::vector<SimOutput> v = m_outputs;
    LeaveCriticalSection(&m_lock);
    return v;
}

bool SimConverter::WaitForOutputs(size_t count, DWORD timeoutMs)
{
    EnterCriticalSection(&m_lock);
    DWORD t0 = GetTickCount();
    bool ok;
    for (;;) {
        ok = m_outputs.size() >= count;
        DWORD el = GetTickCount() - t0;
        if (ok || el >= timeoutMs) break;
        SleepConditionVariableCS(&m_changed, &m_lock, timeoutMs - el);
    }
    LeaveCriticalSection(&m_lock);
    return ok;
}

void SimConverter::ClearOutputs()
{
    EnterCriticalSection(&m_lock);
    m_outputs.clear();
    LeaveCriticalSection(&m_lock);
}

std::vector<SimOutput> SimConverter::TakeOutputs()
{
    std::vector<SimOutput> v;
    EnterCriticalSection(&m_lock);
    v.swap(m_outputs);
    LeaveCriticalSection(&m_lock);
    return v;
}

int SimConverter::ClientCount()
{
    EnterCriticalSection(&m_lock);
    int n = m_liveClients;
    LeaveCriticalSection(&m_lock);
    return n;
}

bool SimConverter::WaitForClients(int count, DWORD timeoutMs)
{
    EnterCriticalSection(&m_lock);
    DWORD t0 = GetTickCount();
    bool ok;
    for (;;) {
        ok = m_liveClients == count;
        DWORD el = GetTickCount() - t0;
        if (ok || el >= timeoutMs) break;
        SleepConditionVariableCS(&m_changed, &m_lock, timeoutMs - el);
    }
    LeaveCriticalSection(&m_lock);
    return ok;
}

int SimConverter::TotalConnections()
{
    EnterCriticalSection(&m_lock);
    int n = m_nextSerial - 1;
    LeaveCriticalSection(&m_lock);
    return n;
}

void SimConverter::SetUnplugged(bool unplugged)
{
    EnterCriticalSection(&m_lock);
    m_unplugged = unplugged;
    LeaveCriticalSection(&m_lock);
    if (!m_started) return;
    SetEvent(m_acceptorWake);
    EnterCriticalSection(&m_lock);
    DWORD t0 = GetTickCount();
    // Unplugging: wait until the acceptor has closed its instances (it
    // starts no client after that); replugging: until one listens again.
    while ((unplugged ? !m_acceptorIdle : (m_acceptorIdle || m_listening == 0)) &&
           GetTickCount() - t0 < kJoinTimeoutMs)
        SleepConditionVariableCS(&m_changed, &m_lock, 100);
    LeaveCriticalSection(&m_lock);
    if (unplugged) {
        CutClients();
        ReapClients(false);
    }
}

bool SimConverter::Unplugged()
{
    EnterCriticalSection(&m_lock);
    bool u = m_unplugged;
    LeaveCriticalSection(&m_lock);
    return u;
}
