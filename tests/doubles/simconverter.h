// A simulated converter: serves a named pipe that the product opens and uses
// exactly like the converter's HID device path.
//
// What a client (the product) does and sees:
//   - CreateFileA(PathA(), GENERIC_READ | GENERIC_WRITE,
//     FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL)
//     opens one client connection; any number may be open at once.
//   - ReadFile of 8 bytes blocks until an input report for this connection
//     is there, then returns those 8 bytes. Each connection has its own
//     queue of the last 32 reports sent since it connected (older ones are
//     dropped, as a HID driver's ring buffer does); a connection that never
//     reads holds up nobody else.
//   - WriteFile of 5 bytes (an output report) completes at once; the
//     simulator records each message with its arrival time.
//   - CloseHandle ends the connection; ClientCount() drops by one shortly
//     after.
//   - SetUnplugged(true): every open connection is cut (a blocked ReadFile
//     returns FALSE with ERROR_BROKEN_PIPE or ERROR_PIPE_NOT_CONNECTED, and
//     later reads and writes fail the same way) and CreateFileA fails with
//     ERROR_FILE_NOT_FOUND until SetUnplugged(false).
//   - Stop() does the same as unplugging, for good.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SimOutput {
    std::vector<uint8_t> bytes; // the whole message as the client wrote it
    DWORD tickMs;               // GetTickCount() when it arrived
    LONGLONG qpc;               // QueryPerformanceCounter() when it arrived
    int client;                 // serial number of the connection (1, 2, ...)
};

class SimConverter {
public:
    // pipeName is the full path, like L"\\\\.\\pipe\\tavrel-test-1".
    explicit SimConverter(const std::wstring &pipeName);
    ~SimConverter(); // calls Stop()
    SimConverter(const SimConverter &) = delete;
    SimConverter &operator=(const SimConverter &) = delete;

    // A pipe path no other simulator in any process uses:
    // \\.\pipe\tavrel-<tag>-<process id>-<counter>.
    static std::wstring UniqueName(const wchar_t *tag = L"sim");

    // Starts serving. False when the name is already served by someone
    // else or the pipe cannot be made. Returns once clients can connect.
    bool Start();
    // Cuts every connection, stops serving and joins all threads. Safe to
    // call twice, and while clients are blocked in ReadFile.
    void Stop();

    // Queues the report for every connected client (never blocks).
    void SendInput(const uint8_t report[8]);
    // The last report given to SendInput (all zero before the first).
    void LatestInput(uint8_t report[8]);

    // When on (off by default), a client that connects first gets the
    // latest input report, as from a device that reports its state
    // periodically.
    void SetReplayToNewClients(bool on);
    // When ms > 0 (0 by default), the latest input report is sent again to
    // every client every ms milliseconds once one has been sent, so readers
    // never wait long (a blocked reader can always be stopped).
    void SetRepeatInterval(DWORD ms);

    // Output reports received so far, in arrival order.
    std::vector<SimOutput> Outputs();
    // True once at least `count` output reports have arrived.
    bool WaitForOutputs(size_t count, DWORD timeoutMs);
    void ClearOutputs();
    // Outputs() and ClearOutputs() in one step: nothing slips in between.
    std::vector<SimOutput> TakeOutputs();

    // Connections now open.
    int ClientCount();
    // True once ClientCount() == count.
    bool WaitForClients(int count, DWORD timeoutMs);
    // Connections made since Start().
    int TotalConnections();

    // Simulates pulling the converter out of the USB port (true) and
    // putting it back (false); see the top of this file. Returns once the
    // new state holds.
    void SetUnplugged(bool unplugged);
    bool Unplugged();

    std::wstring Path() const { return m_name; }
    std::string PathA() const; // ANSI, for CreateFileA

private:
    struct Client;
    static unsigned __stdcall AcceptorMain(void *self);
    static unsigned __stdcall ClientMain(void *client);
    static unsigned __stdcall RepeaterMain(void *self);
    void Acceptor();
    void RunClient(Client *c);
    void Repeater();
    HANDLE CreateInstance(bool first);
    void CutClients();
    void ReapClients(bool all);
    void QueueInput(const uint8_t report[8]);

    std::wstring m_name;
    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_changed;

    bool m_started = false;
    bool m_stopping = false;
    bool m_unplugged = false;
    bool m_replay = false;
    DWORD m_repeatMs = 0;
    bool m_haveInput = false;
    uint8_t m_latest[8] = {};
    int m_nextSerial = 1;
    int m_liveClients = 0;
    int m_listening = 0; // pipe instances currently waiting for a client
    bool m_acceptorIdle = false; // the acceptor has closed its instances for an unplug or a stop
    std::vector<Client *> m_clients;
    std::vector<SimOutput> m_outputs;

    HANDLE m_acceptor = nullptr;
    HANDLE m_acceptorWake = nullptr; // auto-reset
    HANDLE m_repeater = nullptr;
    HANDLE m_repeaterWake = nullptr; // auto-reset
    HANDLE m_firstInstance = nullptr;
};
