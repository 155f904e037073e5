// Shared scaffolding for the page tests: a sheet object around a joystick id,
// a page window made from the server's own dialog template, message pumping
// and pixel reads.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CPropertySheetObject;

// The built server, loaded once as the resource module of the pages.
HMODULE PageResources();

// A sheet object as the class factory makes it, with the id set.
class SheetRef {
public:
    explicit SheetRef(USHORT id);
    ~SheetRef();
    SheetRef(const SheetRef &) = delete;
    SheetRef &operator=(const SheetRef &) = delete;
    CPropertySheetObject *get() const { return m_p; }

private:
    CPropertySheetObject *m_p;
};

// A top-level stand-in for the sheet frame and one page dialog owned by it.
class PageWindow {
public:
    PageWindow(int templateId, DLGPROC proc, CPropertySheetObject *pSheet);
    ~PageWindow();
    PageWindow(const PageWindow &) = delete;
    PageWindow &operator=(const PageWindow &) = delete;
    HWND hwnd() const { return m_hPage; }
    HWND frame() const { return m_hFrame; }
    template <class T> T *object() const
    {
        return reinterpret_cast<T *>(GetWindowLongPtrW(m_hPage, DWLP_USER));
    }
    void Destroy();
    COLORREF Pixel(int x, int y) const; // client coordinates, after a repaint
    void Repaint() const;

private:
    HWND m_hFrame = nullptr;
    HWND m_hPage = nullptr;
};

void PumpFor(DWORD ms);
// Pumps messages until cond() holds; false after timeoutMs.
bool PumpUntil(const std::function<bool()> &cond, DWORD timeoutMs);

std::wstring UniquePipeName(const char *tag);
std::string Narrow(const std::wstring &w);
