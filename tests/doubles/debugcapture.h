// Reads what OutputDebugStringA writes, in this process or any other, the
// way a debug-output monitor does: through the shared "DBWIN_BUFFER"
// mapping and its two events.
//
// Only one monitor can read that buffer at a time (a second one would take
// lines from the first), so Start() first takes a machine-wide lock that is
// held until Stop(): a DebugCapture started while another one (in this or
// another test process) runs waits for it to stop, at most `lockTimeoutMs`.
// Tests that run in parallel therefore never steal each other's lines.
//
// While a capture runs, OutputDebugStringA in every process waits for the
// listener to take each line, so nothing is lost. Lines are the exact texts
// (a trailing "\n" the writer put there stays; nothing is added).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture(); // calls Stop()
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    // Starts listening. False when the shared objects cannot be made or the
    // lock could not be had within lockTimeoutMs. Starting a running capture
    // returns true and changes nothing.
    bool Start(DWORD lockTimeoutMs = 60000);
    // Stops listening and releases the lock. The lines stay readable.
    void Stop();
    bool Running() const;

    // Every line since Start() (or the last Clear()), in order.
    std::vector<std::string> Lines();
    // Lines whose writer was process `pid`.
    std::vector<std::string> LinesFrom(DWORD pid);
    void Clear();

    // True once a line equal to `text` has arrived (also one that arrived
    // before the call), false after timeoutMs without one.
    bool WaitFor(const std::string &text, DWORD timeoutMs);
    // As WaitFor, for a line that starts with `prefix`.
    bool WaitForPrefix(const std::string &prefix, DWORD timeoutMs);
    // Number of lines equal to `text`.
    size_t Count(const std::string &text);

private:
    struct Line {
        DWORD pid;
        std::string text;
    };
    static unsigned __stdcall ThreadMain(void *self);
    void Listen();
    bool WaitUntil(DWORD timeoutMs, bool (*match)(const std::string &, const std::string &), const std::string &arg);

    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_changed;
    std::vector<Line> m_lines;
    HANDLE m_thread = nullptr;
    HANDLE m_ready = nullptr;  // set by the listener once it owns the lock and the objects
    HANDLE m_quit = nullptr;
    bool m_startOk = false;
    DWORD m_lockTimeoutMs = 0;
};
