// The built control-panel DLL as a host loads it: what its entry point tells
// the debugger, and a sheet made through its own exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controlpanel/digcpropsheet.h"
#include "controlpanel/module.h"
#include "tests/doubles/debugcapture.h"

namespace {

std::string DllPath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1) + "tavrelusbcp.dll";
}

using GetClassObjectFn = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE *)();

TEST(DllEntry, AttachNamesTheHostCommandLineAndDetachSaysSo)
{
    DebugCapture capture;
    ASSERT_TRUE(capture.Start());
    const DWORD self = GetCurrentProcessId();

    HMODULE h = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(h, nullptr) << GetLastError();
    ASSERT_TRUE(capture.WaitFor("CPL DLL Attach", 5000));
    ASSERT_TRUE(capture.WaitFor(GetCommandLineA(), 5000));
    std::vector<std::string> lines = capture.LinesFrom(self);
    auto at = std::find(lines.begin(), lines.end(), "CPL DLL Attach");
    ASSERT_NE(at, lines.end());
    ASSERT_NE(at + 1, lines.end()) << "no command line after the attach text";
    EXPECT_EQ(*(at + 1), std::string(GetCommandLineA()));

    FreeLibrary(h);
    EXPECT_TRUE(capture.WaitFor("CPL DLL Detach", 5000));
    lines = capture.LinesFrom(self);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "CPL DLL Attach"), 1);
}

TEST(DllEntry, SheetFromTheDllNamesTheDllAsItsResourceModule)
{
    HMODULE h = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(h, nullptr);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void (*)()>(GetProcAddress(h, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void (*)()>(GetProcAddress(h, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);
    EXPECT_EQ(canUnloadNow(), S_OK);

    IClassFactory *f = nullptr;
    ASSERT_EQ(getClassObject(CLSID_ControlPanelServer, IID_IClassFactory, reinterpret_cast<void **>(&f)), S_OK);
    IDIGameCntrlPropSheet *sheet = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IDIGameCntrlPropSheet, reinterpret_cast<void **>(&sheet)), S_OK);
    f->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    DIGCSHEETINFO *info = nullptr;
    DIGCPAGEINFO *pages = nullptr;
    ASSERT_EQ(sheet->GetSheetInfo(&info), S_OK);
    ASSERT_EQ(sheet->GetPageInfo(&pages), S_OK);
    EXPECT_EQ(std::wstring(info->lpwszSheetCaption), L"Tavrel USB Panel");
    EXPECT_EQ(pages[0].hInstance, reinterpret_cast<HINSTANCE>(h));
    EXPECT_EQ(pages[1].hInstance, reinterpret_cast<HINSTANCE>(h));
    // The host builds its pages from these: the templates must be found there.
    EXPECT_NE(FindResourceW(pages[0].hInstance, pages[0].lpwszTemplate, MAKEINTRESOURCEW(5)), nullptr);
    EXPECT_NE(FindResourceW(pages[1].hInstance, pages[1].lpwszTemplate, MAKEINTRESOURCEW(5)), nullptr);

    EXPECT_EQ(sheet->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
    FreeLibrary(h);
}

} // namespace
