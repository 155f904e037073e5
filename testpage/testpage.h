// The "Test" page: the live picture of the attached pad, the axes panel and
// the sixteen button lamps, redrawn only when the decoded report changes.
#pragma once

#include <windows.h>

#include "controlpanel/propertypage.h"
#include "device/converter_reports.h"
#include "testpage/compositor.h"

class TestPage final : public PropertyPage, public PictureCompositor {
public:
    TestPage(CPropertySheetObject *pSheet, HWND hWnd);
    ~TestPage();
    TestPage(const TestPage &) = delete;
    TestPage &operator=(const TestPage &) = delete;

    LRESULT HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Copies and decodes the latest report; true when it differs from the
    // last one (always on the first call).
    bool PollReport();
    void DrawAxesPanel();
    void DrawButtonsPanel();

    // Layout of what the page paints itself, client pixels.
    static const int kPictureX = 10, kPictureY = 10;
    static const int kAxesX = 324, kAxesY = 187, kAxesW = 70, kAxesH = 165;
    static const int kButtonsX = 410, kButtonsY = 178, kButtonsW = 80, kButtonsH = 160;
    static const UINT_PTR kTimerId = 1000;
    static const UINT kTimerPeriod = 30;
    static const int kTypeCombo = 1061;

    const JoystickState &State() const { return m_state; }
    bool Ticked() const { return m_bTicked; }
    UINT_PTR TimerId() const { return m_nTimer; }

private:
    void OnPaint();
    void Redraw();
    void DrawAxisBar(HDC hdc, int x, int y, int w, int h, LONG v);
    void DrawAxisBox(HDC hdc, int x, int y, int w, int h, LONG vx, LONG vy);
    void DrawButtonCell(HDC hdc, int x, int y, bool bPressed, int nNumber);
    void FillWithThumb(HDC hdc, const RECT &rcBox, const RECT &rcThumb);

    HWND m_hWnd;
    HBITMAP m_hbmAxes;
    HBITMAP m_hbmButtons;
    HBRUSH m_hbrFace;
    HBRUSH m_hbrDark;
    HBRUSH m_hbrLit;
    HPEN m_hpenFace;
    HFONT m_hFont; // stock object, never deleted
    UINT_PTR m_nTimer;
    JoystickState m_state;
    bool m_bStateValid;
    bool m_bTicked;
};

// Called at each step of a page's teardown ("KillTimer", "StopHidReader",
// "Unacquire", "DeletePictures") just before it runs; null in the product.
// Lets tests check the teardown order against the device's own records.
extern void (*g_pfnTestPageTeardownStep)(const char *pszStep);
