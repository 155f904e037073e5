#include "forcepage/forcepage.h"

#include <new>

#include <prsht.h>

#include "controlpanel/propsheet.h"
#include "device/devicesearch.h"

const RECT ForcePage::kShockRect = {100, 10, 114, 24};
const RECT ForcePage::kRumbleRect = {100, 40, 114, 54};

ForcePage::ForcePage(CPropertySheetObject *pSheet, HWND hWnd)
    : PropertyPage(pSheet),
      m_hWnd(hWnd),
      m_hHid(INVALID_HANDLE_VALUE),
      m_nReportId(0),
      m_report(),
      m_bCaptured(0),
      m_bShockDown(0),
      m_bRumbleDown(0),
      m_ptPress{0, 0},
      m_rcShock(),
      m_rcRumble()
{
    m_szDevicePath[0] = '\0';
    m_hbrOn = CreateSolidBrush(RGB(240, 10, 10));
    m_hbrOff = CreateSolidBrush(RGB(10, 10, 10));

    // The sheet frame owns DirectInput's cooperative level for both pages.
    if (FAILED(m_pSheet->InitializeDirectInput(GetParent(m_hWnd))))
        OutputDebugStringA("InitializeDirectInput failed!\n");

    if (!FindDevices(m_pSheet, m_szDevicePath, sizeof(m_szDevicePath), &m_nReportId))
        OutputDebugStringA("FindDevices failed!\n");

    // Opened even when the search failed: an empty path simply fails to open,
    // and the page still reacts to the mouse without a device.
    m_hHid = OpenConverterPath(m_szDevicePath);
    if (m_hHid == INVALID_HANDLE_VALUE)
        OutputDebugStringA("HID open failed!\n");

    ZeroMemory(&m_report, sizeof(m_report));
    m_report.active = 1;

    m_rcShock = kShockRect;
    m_rcRumble = kRumbleRect;
}

ForcePage::~ForcePage()
{
    // Deliberately no final report: the converter keeps what was sent last.
    if (m_hHid != INVALID_HANDLE_VALUE)
        CloseHandle(m_hHid);
    DeleteObject(m_hbrOn);
    DeleteObject(m_hbrOff);
}

LRESULT ForcePage::HandleMessage(HWND, UINT uMsg, WPARAM, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT:
        OnPaint();
        break;
    case WM_LBUTTONDOWN:
        OnButtonDown(lParam);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_LBUTTONUP:
        OnButtonUp();
        break;
    default:
        break;
    }
    return 0;
}

void ForcePage::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    if (hdc) {
        DrawPushButton(hdc, "Shock", m_rcShock, m_bShockDown != 0);
        DrawPushButton(hdc, "Rumble", m_rcRumble, m_bRumbleDown != 0);
    }
    EndPaint(m_hWnd, &ps);
}

void ForcePage::WriteOutputReport()
{
    if (m_hHid == INVALID_HANDLE_VALUE)
        return;
    m_report.reportId = static_cast<uint8_t>(m_nReportId & 0xFF);
    DWORD cbWritten = 0;
    // A failed or short write is not retried: the next press, move or release
    // sends the whole report again.
    WriteFile(m_hHid, &m_report, sizeof(m_report), &cbWritten, nullptr);
}

INT_PTR CALLBACK ForcePageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return PageDialogProc<ForcePage>(hWnd, uMsg, wParam, lParam);
}
