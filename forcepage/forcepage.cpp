#include "controlpanel/propertypage.h"

INT_PTR CALLBACK ForcePageDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}
