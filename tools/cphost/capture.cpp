#include "capture.h"

#include <vector>

#include "stb_image_write.h"

bool SaveWindowPng(HWND hWnd, const char *pszPath)
{
    RECT rc;
    if (!GetWindowRect(hWnd, &rc))
        return false;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return false;

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h; // top-down, the row order PNG wants
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;

    HDC hdcWnd = GetWindowDC(hWnd);
    if (!hdcWnd)
        return false;
    void *pvBits = nullptr;
    HBITMAP hbm = CreateDIBSection(hdcWnd, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    HDC hdcMem = hbm ? CreateCompatibleDC(hdcWnd) : nullptr;
    bool ok = false;
    if (hdcMem) {
        HGDIOBJ hOld = SelectObject(hdcMem, hbm);
        ok = BitBlt(hdcMem, 0, 0, w, h, hdcWnd, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(hdcMem, hOld);
        DeleteDC(hdcMem);
    }
    ReleaseDC(hWnd, hdcWnd);

    if (ok) {
        const int stride = (w * 3 + 3) & ~3;
        const unsigned char *src = static_cast<const unsigned char *>(pvBits);
        std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned char *p = src + y * stride + x * 3;
                unsigned char *q = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
            }
        }
        ok = stbi_write_png(pszPath, w, h, 3, rgb.data(), w * 3) != 0;
    }
    if (hbm)
        DeleteObject(hbm);
    return ok;
}
