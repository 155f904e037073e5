// The "Force" page: two painted hold-to-run buttons that drive the
// converter's motors by hand through a write handle of the page's own.
#pragma once

#include <windows.h>

#include "controlpanel/propertypage.h"
#include "device/converter_reports.h"

class ForcePage final : public PropertyPage {
public:
    ForcePage(CPropertySheetObject *pSheet, HWND hWnd);
    ~ForcePage();
    ForcePage(const ForcePage &) = delete;
    ForcePage &operator=(const ForcePage &) = delete;

    LRESULT HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Button geometry, client pixels.
    static const RECT kShockRect;
    static const RECT kRumbleRect;

    // Read-only views for tests and the host tool.
    const ConverterOutputReport &Report() const { return m_report; }
    bool ShockDown() const { return m_bShockDown != 0; }
    bool RumbleDown() const { return m_bRumbleDown != 0; }
    bool Captured() const { return m_bCaptured != 0; }
    bool DeviceOpen() const { return m_hHid != INVALID_HANDLE_VALUE; }
    DWORD ReportId() const { return m_nReportId; }
    const char *DevicePath() const { return m_szDevicePath; }

private:
    void OnPaint();
    void OnButtonDown(LPARAM lParam);
    void OnMouseMove(LPARAM lParam);
    void OnButtonUp();
    void DrawPushButton(HDC hdc, const char *pszLabel, RECT rc, bool bDown);
    void WriteOutputReport();

    HWND m_hWnd;
    char m_szDevicePath[256];
    HANDLE m_hHid;
    DWORD m_nReportId;
    ConverterOutputReport m_report;
    BYTE m_bCaptured;
    BYTE m_bShockDown;
    BYTE m_bRumbleDown;
    POINT m_ptPress;
    RECT m_rcShock;
    RECT m_rcRumble;
    HBRUSH m_hbrOff;
    HBRUSH m_hbrOn;
};
