// Base of the two page objects. A page's dialog procedure creates its page
// object on WM_INITDIALOG, keeps it in the DWLP_USER slot, hands it every
// message and deletes it as its own type after WM_DESTROY (there is
// deliberately no virtual destructor).
#pragma once

#include <windows.h>

class CPropertySheetObject;

class PropertyPage {
public:
    explicit PropertyPage(CPropertySheetObject *pSheet) : m_pSheet(pSheet) {}
    virtual LRESULT HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~PropertyPage() = default;
    CPropertySheetObject *m_pSheet; // not referenced: the sheet outlives its pages
};

INT_PTR CALLBACK TestPageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ForcePageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
