#include "controlpanel/propertypage.h"

INT_PTR CALLBACK TestPageDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}
