// The game-controller property-sheet interface that the Game Controllers
// control panel asks its OEM sheet servers for. No installed header declares
// it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#pragma pack(push, 8)
struct DIGCPAGEINFO {
    DWORD dwSize;
    LPWSTR lpwszPageTitle;
    DLGPROC fpPageProc;
    BOOL fProcFlag;
    DLGPROC fpPrePostProc;
    BOOL fIconFlag;
    LPWSTR lpwszPageIcon;
    LPWSTR lpwszTemplate;
    LPARAM lParam;
    HINSTANCE hInstance;
};

struct DIGCSHEETINFO {
    DWORD dwSize;
    USHORT nNumPages;
    LPWSTR lpwszSheetCaption;
    BOOL fSheetIconFlag;
    LPWSTR lpwszSheetIcon;
};
#pragma pack(pop)

#if !defined(_WIN64)
static_assert(sizeof(DIGCPAGEINFO) == 40, "DIGCPAGEINFO is 40 bytes on x86");
static_assert(sizeof(DIGCSHEETINFO) == 20, "DIGCSHEETINFO is 20 bytes on x86");
#endif

// {7854FB22-8EE3-11D0-A1AC-0000F8026977}
static const IID IID_IDIGameCntrlPropSheet = {
    0x7854FB22, 0x8EE3, 0x11D0, {0xA1, 0xAC, 0x00, 0x00, 0xF8, 0x02, 0x69, 0x77}};

struct IDIGameCntrlPropSheet : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSheetInfo(DIGCSHEETINFO **ppSheetInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPageInfo(DIGCPAGEINFO **ppPageInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetID(USHORT nID) = 0;
};
