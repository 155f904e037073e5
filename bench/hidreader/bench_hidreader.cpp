// Prints how the sheet object's HID reader performs against the converter
// simulator (served as its device path through the fake DirectInput beside
// this program): the delay from a report sent to the report seen by
// CopyInputReport, and how long StopHidReader takes while the reader waits
// on a silent converter, or on no converter at all.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

double NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Print(const char *what, std::vector<double> v)
{
    if (v.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %7.3f ms  p95 %7.3f ms  max %7.3f ms  (%u runs)\n", what, v[v.size() / 2],
                v[v.size() * 95 / 100], v.back(), static_cast<unsigned>(v.size()));
}

CPropertySheetObject *SheetOn(const std::wstring &path)
{
    FakeDI_AddJoystick(1, path.c_str(), 0);
    CPropertySheetObject *p = new CPropertySheetObject();
    p->Initialize();
    p->SetID(1);
    p->InitializeDirectInput(nullptr);
    return p;
}

} // namespace

int main()
{
    InitializeCriticalSection(&g_csDirectInput);
    g_hInstance = GetModuleHandleA(nullptr);

    SimConverter sim(SimConverter::UniqueName(L"bench"));
    if (!sim.Start()) {
        std::printf("simulator did not start\n");
        return 1;
    }
    CPropertySheetObject *p = SheetOn(sim.Path());

    std::vector<double> seen, stopSilent, stopAbsent;
    p->StartHidReader();
    sim.WaitForClients(1, 5000);
    for (int i = 1; i <= 200; ++i) {
        uint8_t r[8] = {1, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 1, 2, 3, 4, 0x10};
        BYTE got[8];
        double t0 = NowMs();
        sim.SendInput(r);
        do {
            p->CopyInputReport(got, 8);
        } while (memcmp(got, r, 8) != 0 && NowMs() - t0 < 1000.0);
        seen.push_back(NowMs() - t0);
    }
    p->StopHidReader();

    for (int i = 0; i < 50; ++i) {
        p->StartHidReader();
        sim.WaitForClients(1, 5000);
        Sleep(5); // the read is pending now
        double t0 = NowMs();
        p->StopHidReader();
        stopSilent.push_back(NowMs() - t0);
        sim.WaitForClients(0, 5000);
    }
    p->Release();
    sim.Stop();

    p = SheetOn(SimConverter::UniqueName(L"absent"));
    for (int i = 0; i < 50; ++i) {
        p->StartHidReader();
        Sleep(5);
        double t0 = NowMs();
        p->StopHidReader();
        stopAbsent.push_back(NowMs() - t0);
    }
    p->Release();

    Print("report sent -> seen by CopyInputReport", seen);
    Print("StopHidReader, silent converter", stopSilent);
    Print("StopHidReader, no converter (reads fail)", stopAbsent);
    return 0;
}
