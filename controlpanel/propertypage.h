// Base of the two page objects. A page's dialog procedure creates its page
// object on WM_INITDIALOG, keeps it in the DWLP_USER slot, hands it every
// message and deletes it as its own type after WM_DESTROY (there is
// deliberately no virtual destructor).
#pragma once

#include <windows.h>
#include <prsht.h>

#include <new>

class CPropertySheetObject;

class PropertyPage {
public:
    explicit PropertyPage(CPropertySheetObject *pSheet) : m_pSheet(pSheet) {}
    virtual LRESULT HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~PropertyPage() = default;
    CPropertySheetObject *m_pSheet; // not referenced: the sheet outlives its pages
};

// The body of both pages' dialog procedures: the page object is made on
// WM_INITDIALOG from the sheet object that the host put in the
// PROPSHEETPAGE's lParam, gets every message, and is deleted as its own type
// after WM_DESTROY. A host that passes no page description or no sheet
// object gets a blank page rather than a crash.
template <class Page>
INT_PTR PageDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    Page *pPage;
    if (uMsg == WM_INITDIALOG) {
        const PROPSHEETPAGEW *psp = reinterpret_cast<const PROPSHEETPAGEW *>(lParam);
        CPropertySheetObject *pSheet = psp ? reinterpret_cast<CPropertySheetObject *>(psp->lParam) : nullptr;
        pPage = pSheet ? new (std::nothrow) Page(pSheet, hWnd) : nullptr;
        SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pPage));
    } else {
        pPage = reinterpret_cast<Page *>(GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (!pPage) return 0;
    INT_PTR result = pPage->HandleMessage(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_DESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        delete pPage;
    }
    return result;
}

INT_PTR CALLBACK TestPageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ForcePageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
