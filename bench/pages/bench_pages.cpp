// Prints what the two pages cost on the window thread: a Test page tick that
// finds no change, a tick that redraws, the paint that follows, and the time
// from a Force page press to the report's arrival at the converter.
#include <windows.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "controlpanel/module.h"
#include "controlpanel/propertypage.h"
#include "controlpanel/propsheet.h"
#include "device/converter_reports.h"
#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

double g_qpcPerUs;

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

void Print(const char *what, std::vector<double> us)
{
    if (us.empty()) {
        printf("%-44s no samples\n", what);
        return;
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    printf("%-44s n=%4zu  median %8.1f us  mean %8.1f us  p95 %8.1f us\n", what, us.size(),
           us[us.size() / 2], sum / us.size(), us[us.size() * 95 / 100]);
}

HWND CreatePage(int templateId, DLGPROC proc, CPropertySheetObject *pSheet, HWND hFrame)
{
    PROPSHEETPAGEW psp = {};
    psp.dwSize = sizeof(psp);
    psp.lParam = reinterpret_cast<LPARAM>(pSheet);
    HWND h = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(templateId), hFrame, proc,
                                reinterpret_cast<LPARAM>(&psp));
    if (h) {
        ShowWindow(h, SW_SHOW);
        UpdateWindow(h);
    }
    return h;
}

bool WaitForStored(CPropertySheetObject *pSheet, const uint8_t *report)
{
    BYTE copy[8];
    for (int i = 0; i < 5000; ++i) {
        pSheet->CopyInputReport(copy, 8);
        if (memcmp(copy, report, 8) == 0)
            return true;
        Sleep(1);
    }
    return false;
}

} // namespace

int main()
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_qpcPerUs = f.QuadPart / 1e6;

    InitializeCriticalSection(&g_csDirectInput);
    g_hInstance = LoadLibraryA("tavrelusbcp.dll");
    if (!g_hInstance) {
        fprintf(stderr, "bench_pages: tavrelusbcp.dll not found beside the program\n");
        return 1;
    }
    std::wstring pipe = SimConverter::UniqueName(L"bench");
    SimConverter sim(pipe);
    if (!sim.Start()) {
        fprintf(stderr, "bench_pages: cannot serve the simulated converter\n");
        return 1;
    }
    FakeDI_AddJoystick(0, pipe.c_str(), 0);

    CPropertySheetObject *pSheet = new CPropertySheetObject();
    pSheet->Initialize();
    pSheet->SetID(0);
    HWND hFrame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 600, 400, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);

    HWND hTest = CreatePage(101, TestPageDlgProc, pSheet, hFrame);
    if (!hTest || !sim.WaitForClients(1, 5000)) {
        fprintf(stderr, "bench_pages: the Test page did not come up\n");
        return 1;
    }

    uint8_t report[8] = {0, 0, 0, 0x80, 0x80, 0x80, 0x80, 0x70};
    sim.SendInput(report);
    WaitForStored(pSheet, report);
    SendMessageW(hTest, WM_TIMER, 1000, 0);
    UpdateWindow(hTest);

    std::vector<double> idle, change, paint;
    for (int i = 0; i < 2000; ++i) {
        LONGLONG t0 = Now();
        SendMessageW(hTest, WM_TIMER, 1000, 0);
        idle.push_back((Now() - t0) / g_qpcPerUs);
    }
    for (int i = 0; i < 200; ++i) {
        report[1] = static_cast<uint8_t>(1u << (i % 8)); // a different button each time
        report[3] = static_cast<uint8_t>(i * 37);
        sim.SendInput(report);
        if (!WaitForStored(pSheet, report))
            break;
        LONGLONG t0 = Now();
        SendMessageW(hTest, WM_TIMER, 1000, 0);
        LONGLONG t1 = Now();
        UpdateWindow(hTest);
        LONGLONG t2 = Now();
        change.push_back((t1 - t0) / g_qpcPerUs);
        paint.push_back((t2 - t1) / g_qpcPerUs);
    }
    DestroyWindow(hTest);

    HWND hForce = CreatePage(102, ForcePageDlgProc, pSheet, hFrame);
    std::vector<double> pressToConverter;
    if (hForce) {
        for (int i = 0; i < 200; ++i) {
            sim.ClearOutputs();
            LONGLONG t0 = Now();
            SendMessageW(hForce, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(105, 45));
            if (!sim.WaitForOutputs(1, 2000))
                break;
            pressToConverter.push_back((sim.Outputs()[0].qpc - t0) / g_qpcPerUs);
            SendMessageW(hForce, WM_LBUTTONUP, 0, MAKELPARAM(105, 45));
            sim.WaitForOutputs(2, 2000);
        }
        DestroyWindow(hForce);
    }

    Print("Test page tick, report unchanged", idle);
    Print("Test page tick, report changed (no paint)", change);
    Print("Test page paint after a change", paint);
    Print("Force page press to report at converter", pressToConverter);

    DestroyWindow(hFrame);
    pSheet->Release();
    sim.Stop();
    return 0;
}
