// Window captures for the host's screenshot mode.
#pragma once

#include <windows.h>

// Copies the window as it is on screen (frame included) and writes it as a
// PNG file. Returns false when the copy or the write failed.
bool SaveWindowPng(HWND hWnd, const char *pszPath);
