#include "pagehelpers.h"

#include <prsht.h>

#include <cstdio>

#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"

HMODULE PageResources()
{
    static HMODULE hMod = [] {
        // What the server's DllMain does for its own copy of the module state.
        InitializeCriticalSection(&g_csDirectInput);
        return LoadLibraryA("tavrelusbcp.dll");
    }();
    // The pages and the compositor take their resources from g_hInstance.
    if (hMod)
        g_hInstance = hMod;
    return hMod;
}

SheetRef::SheetRef(USHORT id) : m_p(new CPropertySheetObject())
{
    PageResources();
    m_p->Initialize();
    m_p->SetID(id);
}

SheetRef::~SheetRef()
{
    m_p->Release();
}

PageWindow::PageWindow(int templateId, DLGPROC proc, CPropertySheetObject *pSheet)
{
    m_hFrame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 600, 400, 200, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    PROPSHEETPAGEW psp = {};
    psp.dwSize = sizeof(psp);
    psp.hInstance = PageResources();
    psp.pszTemplate = MAKEINTRESOURCEW(templateId);
    psp.pfnDlgProc = proc;
    psp.lParam = reinterpret_cast<LPARAM>(pSheet);
    m_hPage = CreateDialogParamW(PageResources(), MAKEINTRESOURCEW(templateId), m_hFrame, proc,
                                 reinterpret_cast<LPARAM>(&psp));
    if (m_hPage) {
        SetWindowPos(m_hPage, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        UpdateWindow(m_hPage);
    }
}

PageWindow::~PageWindow()
{
    Destroy();
    if (m_hFrame)
        DestroyWindow(m_hFrame);
}

void PageWindow::Destroy()
{
    if (m_hPage && IsWindow(m_hPage))
        DestroyWindow(m_hPage);
    m_hPage = nullptr;
}

void PageWindow::Repaint() const
{
    RedrawWindow(m_hPage, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

COLORREF PageWindow::Pixel(int x, int y) const
{
    HDC hdc = GetDC(m_hPage);
    COLORREF c = GetPixel(hdc, x, y);
    ReleaseDC(m_hPage, hdc);
    return c;
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()> &cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (cond())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10,
                                  QS_ALLINPUT);
    }
}

std::wstring UniquePipeName(const char *tag)
{
    static LONG n = 0;
    wchar_t buf[128];
    swprintf(buf, 128, L"\\\\.\\pipe\\tavrel-%hs-%lu-%ld", tag, GetCurrentProcessId(),
             InterlockedIncrement(&n));
    return buf;
}

std::string Narrow(const std::wstring &w)
{
    char buf[512];
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, buf, sizeof(buf), nullptr, nullptr);
    return n > 0 ? std::string(buf) : std::string();
}
