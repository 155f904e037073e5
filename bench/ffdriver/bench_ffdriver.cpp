// How long a started effect takes to reach the converter, and how often the
// output thread reports while nothing changes. The driver is the built DLL,
// bound the way DirectInput binds it; the converter is the simulator and
// its arrival stamps are the clock.
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

const GUID kDriverClsid = {0x3F6B2D90, 0x7C14, 0x4A85, {0xB1, 0xE3, 0x95, 0xD0, 0xC7, 0xA4, 0x2F, 0x18}};
const UINT kJoystick = 2;

double g_qpcPerMs = 0;

double Ms(LONGLONG ticks) { return ticks / g_qpcPerMs; }

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

bool IsReport(const SimOutput &o, uint8_t rumble)
{
    return o.bytes.size() == 5 && o.bytes[1] == 1 && o.bytes[3] == 0 && o.bytes[4] == rumble;
}

// The first report with the given strength that arrived at or after t0.
bool WaitReport(SimConverter &sim, size_t from, uint8_t rumble, LONGLONG t0, LONGLONG *at, DWORD timeoutMs)
{
    DWORD end = GetTickCount() + timeoutMs;
    do {
        std::vector<SimOutput> out = sim.Outputs();
        for (size_t i = from; i < out.size(); ++i) {
            if (out[i].qpc >= t0 && IsReport(out[i], rumble)) {
                *at = out[i].qpc;
                return true;
            }
        }
        Sleep(0);
    } while ((LONG)(GetTickCount() - end) < 0);
    return false;
}

void Print(const char *what, std::vector<double> v)
{
    if (v.empty()) {
        printf("%-34s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    auto pct = [&](double p) { return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))]; };
    printf("%-34s n=%-4zu p50=%6.2f ms  p99=%6.2f ms  min=%6.2f  max=%6.2f  mean=%6.2f\n", what, v.size(), pct(0.5),
           pct(0.99), v.front(), v.back(), sum / v.size());
}

} // namespace

int main(int argc, char **argv)
{
    int starts = argc > 1 ? atoi(argv[1]) : 300;
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_qpcPerMs = f.QuadPart / 1000.0;

    SimConverter sim(SimConverter::UniqueName(L"ffbench"));
    if (!sim.Start()) {
        fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    FakeDI_Reset();
    FakeDI_AddJoystick(kJoystick, sim.Path().c_str(), 0);

    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll(path);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "tavrelusbff.dll";
    HMODULE h = LoadLibraryA(dll.c_str());
    if (!h) {
        fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectFn)(REFCLSID, REFIID, void **);
    GetClassObjectFn getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void *>(GetProcAddress(h, "DllGetClassObject")));
    IClassFactory *cf = nullptr;
    IDirectInputEffectDriver *drv = nullptr;
    if (!getClassObject || FAILED(getClassObject(kDriverClsid, IID_IClassFactory, reinterpret_cast<void **>(&cf))) ||
        FAILED(cf->CreateInstance(nullptr, IID_IDirectInputEffectDriver, reinterpret_cast<void **>(&drv)))) {
        fprintf(stderr, "no driver object\n");
        return 1;
    }
    cf->Release();
    drv->DeviceID(0x0700, kJoystick, TRUE, 0, nullptr);
    drv->SendForceFeedbackCommand(kJoystick, DISFFC_RESET);
    if (!sim.WaitForClients(1, 5000)) {
        fprintf(stderr, "the driver did not open the converter\n");
        return 1;
    }

    // Idle: nothing plays, the thread reports on its time-out.
    Sleep(200);
    sim.ClearOutputs();
    Sleep(3000);
    std::vector<SimOutput> idle = sim.Outputs();
    std::vector<double> gaps;
    for (size_t i = 1; i < idle.size(); ++i) gaps.push_back(Ms(idle[i].qpc - idle[i - 1].qpc));

    DICONSTANTFORCE force = {10000};
    DWORD axis = DIJOFS_X;
    LONG dir = 0;
    DIEFFECT e = {};
    e.dwSize = sizeof(e);
    e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    e.dwDuration = INFINITE;
    e.dwGain = 10000;
    e.dwTriggerButton = DIEB_NOTRIGGER;
    e.cAxes = 1;
    e.rgdwAxes = &axis;
    e.rglDirection = &dir;
    e.cbTypeSpecificParams = sizeof(force);
    e.lpvTypeSpecificParams = &force;
    DWORD effect = 0;
    drv->DownloadEffect(kJoystick, 1, &effect,
                        &e, DIEP_DURATION | DIEP_GAIN | DIEP_TRIGGERBUTTON | DIEP_DIRECTION | DIEP_TYPESPECIFICPARAMS);

    std::vector<double> startLatency, stopLatency;
    int lost = 0;
    srand(12345);
    for (int i = 0; i < starts; ++i) {
        // Land the start anywhere in the thread's wait, write and sleep.
        Sleep(rand() % 45);
        size_t from = sim.Outputs().size();
        LONGLONG t0 = Now(), at = 0;
        drv->StartEffect(kJoystick, effect, 1, 1);
        if (WaitReport(sim, from, 0xE1, t0, &at, 2000)) startLatency.push_back(Ms(at - t0));
        else ++lost;
        Sleep(rand() % 45);
        from = sim.Outputs().size();
        t0 = Now();
        drv->StopEffect(kJoystick, effect);
        if (WaitReport(sim, from, 0x00, t0, &at, 2000)) stopLatency.push_back(Ms(at - t0));
        else ++lost;
        if (sim.Outputs().size() > 20000) sim.ClearOutputs();
    }

    printf("effect driver timings (simulated converter, %s)\n", sizeof(void *) == 8 ? "x86_64" : "i686");
    Print("idle report interval", gaps);
    Print("StartEffect -> report with it", startLatency);
    Print("StopEffect -> report without it", stopLatency);
    if (lost) printf("reports not seen within 2 s: %d\n", lost);

    drv->SendForceFeedbackCommand(kJoystick, DISFFC_RESET);
    drv->Release();
    sim.Stop();
    return 0;
}
