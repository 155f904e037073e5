// cphost: loads tavrelusbcp.dll the way the Game Controllers control panel
// does (class factory, SetID, sheet and page descriptions) and shows its
// property sheet, prints the descriptions, or saves screenshots of the pages.
//
//   cphost [--dll PATH] [--id N] [--describe]
//          [--screenshot DIR --after MS [--page test|force] [--select N]
//           [--hold shock|rumble] [--prefix NAME]]
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controlpanel/digcpropsheet.h"
#include "controlpanel/module.h"
#include "capture.h"

namespace {

struct Options {
    std::string dll;
    unsigned id = 0;
    bool describe = false;
    std::string screenshotDir;
    DWORD afterMs = 2000;
    std::string page;  // "", "test" or "force"
    int select = -1;   // "Type:" entry to pick before the Test page shot
    std::string hold;  // "", "shock" or "rumble": held during the Force page shot
    std::string prefix;
};

void Usage()
{
    fprintf(stderr,
            "usage: cphost [--dll PATH] [--id N] [--describe]\n"
            "              [--screenshot DIR [--after MS] [--page test|force] [--select N]\n"
            "               [--hold shock|rumble] [--prefix NAME]]\n"
            "  --dll PATH       the control-panel server (default: tavrelusbcp.dll beside cphost)\n"
            "  --id N           joystick id handed to SetID (default 0)\n"
            "  --describe       print the sheet and page descriptions and exit\n"
            "  --screenshot DIR show the sheet, wait --after MS (default 2000), save\n"
            "                   <prefix>test.png and/or <prefix>force.png in DIR, exit\n"
            "  --page P         only that page's screenshot\n"
            "  --select N       pick entry N of the Test page's \"Type:\" list first\n"
            "  --hold B         hold the Force page's button B while its shot is taken\n");
}

bool ParseUnsigned(const char *s, unsigned long max, unsigned long *out)
{
    if (!s || !*s)
        return false;
    char *end = nullptr;
    unsigned long v = strtoul(s, &end, 0);
    if (*end || v > max)
        return false;
    *out = v;
    return true;
}

bool ParseArgs(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char **v) {
            if (i + 1 >= argc)
                return false;
            *v = argv[++i];
            return true;
        };
        const char *v = nullptr;
        unsigned long n = 0;
        if (a == "--describe") {
            o->describe = true;
        } else if (a == "--dll" && next(&v)) {
            o->dll = v;
        } else if (a == "--id" && next(&v) && ParseUnsigned(v, 0xFFFF, &n)) {
            o->id = static_cast<unsigned>(n);
        } else if (a == "--screenshot" && next(&v)) {
            o->screenshotDir = v;
        } else if (a == "--after" && next(&v) && ParseUnsigned(v, 600000, &n)) {
            o->afterMs = static_cast<DWORD>(n);
        } else if (a == "--page" && next(&v) && (!strcmp(v, "test") || !strcmp(v, "force"))) {
            o->page = v;
        } else if (a == "--select" && next(&v) && ParseUnsigned(v, 4, &n)) {
            o->select = static_cast<int>(n);
        } else if (a == "--hold" && next(&v) && (!strcmp(v, "shock") || !strcmp(v, "rumble"))) {
            o->hold = v;
        } else if (a == "--prefix" && next(&v)) {
            o->prefix = v;
        } else {
            fprintf(stderr, "cphost: bad or incomplete argument: %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

std::string DefaultDllPath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "tavrelusbcp.dll";
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : s.substr(0, slash + 1)) + "tavrelusbcp.dll";
}

// A resource name as the descriptions carry it: a number or a string.
std::string ResourceName(LPCWSTR p)
{
    if (!p)
        return "(none)";
    if (IS_INTRESOURCE(p))
        return std::to_string(reinterpret_cast<ULONG_PTR>(p));
    char buf[520];
    WideCharToMultiByte(CP_UTF8, 0, p, -1, buf, sizeof(buf), nullptr, nullptr);
    return std::string("\"") + buf + "\"";
}

std::string Text(LPCWSTR p)
{
    if (!p)
        return "(none)";
    char buf[1040];
    if (!WideCharToMultiByte(CP_UTF8, 0, p, -1, buf, sizeof(buf), nullptr, nullptr))
        return "(unreadable)";
    return std::string("\"") + buf + "\"";
}

void Describe(const DIGCSHEETINFO *si, const DIGCPAGEINFO *pi, void *pObject, HMODULE hDll)
{
    printf("sheet dwSize=%lu nNumPages=%u caption=%s fSheetIconFlag=%d icon=%s\n",
           static_cast<unsigned long>(si->dwSize), si->nNumPages, Text(si->lpwszSheetCaption).c_str(),
           si->fSheetIconFlag, ResourceName(si->lpwszSheetIcon).c_str());
    HMODULE hProcModule = nullptr;
    for (USHORT i = 0; i < si->nNumPages; ++i) {
        const DIGCPAGEINFO &p = pi[i];
        std::string proc = "(none)";
        if (p.fpPageProc) {
            char buf[32];
            snprintf(buf, sizeof(buf), "%p", reinterpret_cast<void *>(p.fpPageProc));
            proc = buf;
            if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(p.fpPageProc), &hProcModule))
                proc += hProcModule == hDll ? " (in server)" : " (outside server)";
        }
        printf("page %u dwSize=%lu title=%s template=%s proc=%s fProcFlag=%d prePostProc=%s "
               "fIconFlag=%d icon=%s lParam=%s hInstance=%s\n",
               i, static_cast<unsigned long>(p.dwSize), Text(p.lpwszPageTitle).c_str(),
               ResourceName(p.lpwszTemplate).c_str(), proc.c_str(), p.fProcFlag,
               p.fpPrePostProc ? "set" : "(none)", p.fIconFlag, ResourceName(p.lpwszPageIcon).c_str(),
               reinterpret_cast<void *>(p.lParam) == pObject ? "object" : "other",
               p.hInstance == hDll ? "server" : "other");
    }
    fflush(stdout);
}

// Runs the message loop of a modeless sheet for up to ms milliseconds (or
// until the sheet closes, when ms is INFINITE). Returns false once it closed.
bool Pump(HWND hSheet, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return false;
            if (!PropSheet_IsDialogMessage(hSheet, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        // A modeless sheet signals its end by having no current page.
        if (!IsWindow(hSheet) || !PropSheet_GetCurrentPageHwnd(hSheet))
            return false;
        DWORD elapsed = GetTickCount() - start;
        if (ms != INFINITE && elapsed >= ms)
            return true;
        DWORD wait = ms == INFINITE ? INFINITE : ms - elapsed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void Click(HWND hPage, UINT msg, const POINT &pt)
{
    SendMessageW(hPage, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
}

bool ShootPage(HWND hSheet, int index, const Options &o, const char *name)
{
    PropSheet_SetCurSel(hSheet, nullptr, index);
    HWND hPage = PropSheet_GetCurrentPageHwnd(hSheet);
    if (!hPage)
        return false;
    if (index == 0 && o.select >= 0) {
        HWND hCombo = GetDlgItem(hPage, 1061);
        SendMessageW(hCombo, CB_SETCURSEL, o.select, 0);
        SendMessageW(hPage, WM_COMMAND, MAKEWPARAM(1061, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    }
    POINT ptHold = {-1, -1};
    if (index == 1 && !o.hold.empty()) {
        ptHold = o.hold == "shock" ? POINT{106, 16} : POINT{106, 46};
        Click(hPage, WM_LBUTTONDOWN, ptHold);
    }
    // Long enough for several 30 ms ticks and the repaint they cause.
    if (!Pump(hSheet, 300))
        return false;
    RedrawWindow(hSheet, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(hSheet, 50);
    std::string path = o.screenshotDir + "\\" + o.prefix + name + ".png";
    bool ok = SaveWindowPng(hSheet, path.c_str());
    if (ok)
        printf("cphost: wrote %s\n", path.c_str());
    else
        fprintf(stderr, "cphost: could not write %s\n", path.c_str());
    if (ptHold.x >= 0)
        Click(hPage, WM_LBUTTONUP, ptHold);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!ParseArgs(argc, argv, &o)) {
        Usage();
        return 2;
    }
    if (o.dll.empty())
        o.dll = DefaultDllPath();

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    HMODULE hDll = LoadLibraryA(o.dll.c_str());
    if (!hDll) {
        fprintf(stderr, "cphost: cannot load %s (error %lu)\n", o.dll.c_str(), GetLastError());
        return 1;
    }
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectFn)(REFCLSID, REFIID, void **);
    typedef HRESULT(STDAPICALLTYPE * CanUnloadFn)();
    auto pfnGetClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void *>(GetProcAddress(hDll, "DllGetClassObject")));
    auto pfnCanUnload = reinterpret_cast<CanUnloadFn>(
        reinterpret_cast<void *>(GetProcAddress(hDll, "DllCanUnloadNow")));
    if (!pfnGetClassObject) {
        fprintf(stderr, "cphost: %s exports no DllGetClassObject\n", o.dll.c_str());
        FreeLibrary(hDll);
        return 1;
    }

    IClassFactory *pFactory = nullptr;
    HRESULT hr = pfnGetClassObject(CLSID_ControlPanelServer, IID_IClassFactory,
                                   reinterpret_cast<void **>(&pFactory));
    IDIGameCntrlPropSheet *pSheet = nullptr;
    if (SUCCEEDED(hr) && pFactory) {
        hr = pFactory->CreateInstance(nullptr, IID_IDIGameCntrlPropSheet, reinterpret_cast<void **>(&pSheet));
        pFactory->Release();
    }
    if (FAILED(hr) || !pSheet) {
        fprintf(stderr, "cphost: cannot create the sheet object (0x%08lx)\n", static_cast<unsigned long>(hr));
        FreeLibrary(hDll);
        return 1;
    }

    int rc = 0;
    DIGCSHEETINFO *si = nullptr;
    DIGCPAGEINFO *pi = nullptr;
    // The pages read the id while they initialise, so it goes in first.
    pSheet->SetID(static_cast<USHORT>(o.id));
    if (FAILED(pSheet->GetSheetInfo(&si)) || FAILED(pSheet->GetPageInfo(&pi)) || !si || !pi) {
        fprintf(stderr, "cphost: the server gave no sheet or page description\n");
        rc = 1;
    } else if (o.describe) {
        Describe(si, pi, pSheet, hDll);
    } else {
        std::vector<PROPSHEETPAGEW> pages(si->nNumPages);
        for (USHORT i = 0; i < si->nNumPages; ++i) {
            PROPSHEETPAGEW &p = pages[i];
            p = PROPSHEETPAGEW();
            p.dwSize = sizeof(p);
            p.hInstance = pi[i].hInstance;
            p.pszTemplate = pi[i].lpwszTemplate;
            p.pfnDlgProc = pi[i].fpPageProc;
            p.lParam = pi[i].lParam;
            if (pi[i].lpwszPageTitle) {
                p.dwFlags |= PSP_USETITLE;
                p.pszTitle = pi[i].lpwszPageTitle;
            }
            if (pi[i].fIconFlag && pi[i].lpwszPageIcon) {
                p.dwFlags |= PSP_USEICONID;
                p.pszIcon = pi[i].lpwszPageIcon;
            }
        }
        PROPSHEETHEADERW psh = {};
        psh.dwSize = sizeof(psh);
        psh.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_MODELESS;
        psh.hInstance = pi[0].hInstance;
        psh.pszCaption = si->lpwszSheetCaption;
        if (si->fSheetIconFlag && si->lpwszSheetIcon) {
            psh.dwFlags |= PSH_USEICONID;
            psh.pszIcon = si->lpwszSheetIcon;
        }
        psh.nPages = si->nNumPages;
        psh.ppsp = pages.data();

        HWND hSheet = reinterpret_cast<HWND>(PropertySheetW(&psh));
        if (!hSheet) {
            fprintf(stderr, "cphost: the property sheet could not be created\n");
            rc = 1;
        } else if (!o.screenshotDir.empty()) {
            if (!Pump(hSheet, o.afterMs)) {
                fprintf(stderr, "cphost: the sheet closed before the screenshots\n");
                rc = 1;
            } else {
                bool ok = true;
                if (o.page.empty() || o.page == "test")
                    ok = ShootPage(hSheet, 0, o, "test") && ok;
                if ((o.page.empty() || o.page == "force") && si->nNumPages > 1)
                    ok = ShootPage(hSheet, 1, o, "force") && ok;
                rc = ok ? 0 : 1;
            }
            if (IsWindow(hSheet))
                DestroyWindow(hSheet);
        } else {
            Pump(hSheet, INFINITE);
            if (IsWindow(hSheet))
                DestroyWindow(hSheet);
        }
    }

    // The page windows are gone by now; the object may go.
    pSheet->Release();
    if (pfnCanUnload && pfnCanUnload() == S_OK) {
        FreeLibrary(hDll);
    } else {
        fprintf(stderr, "cphost: the server still holds objects or locks; not unloading it\n");
    }
    return rc;
}
