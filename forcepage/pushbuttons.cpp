// The Force page's two hold-to-run buttons: painting, hit tests, and the
// report each press, drag and release sends.
#include "forcepage/forcepage.h"

#include <cstdlib>

void ForcePage::DrawPushButton(HDC hdc, const char *pszLabel, RECT rc, bool bDown)
{
    FillRect(hdc, &rc, bDown ? m_hbrOn : m_hbrOff);
    // The edge goes over the fill; the inner pixels keep the fill colour.
    DrawEdge(hdc, &rc, EDGE_SUNKEN, BF_RECT);

    RECT rcLabel = rc;
    rcLabel.right = rc.left - 4;
    rcLabel.left = rc.left - 60;
    SetBkMode(hdc, TRANSPARENT);
    DrawTextA(hdc, pszLabel, -1, &rcLabel, DT_RIGHT);
}

// The pointer position as the message carries it: two unsigned 16-bit words,
// so a captured pointer left of or above the window reads as a large value.
static POINT PointFromLParam(LPARAM lParam)
{
    POINT pt;
    pt.x = static_cast<LONG>(LOWORD(lParam));
    pt.y = static_cast<LONG>(HIWORD(lParam));
    return pt;
}

void ForcePage::OnButtonDown(LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    if (PtInRect(&m_rcShock, pt)) {
        m_bCaptured = 1;
        m_bShockDown = 1;
        SetCapture(m_hWnd);
        m_ptPress = pt;
        m_report.shock = 1;
        WriteOutputReport();
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    if (PtInRect(&m_rcRumble, pt)) {
        m_bCaptured = 1;
        m_bRumbleDown = 1;
        SetCapture(m_hWnd);
        m_ptPress = pt;
        m_report.rumble = 255;
        WriteOutputReport();
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

void ForcePage::OnMouseMove(LPARAM lParam)
{
    if (!m_bCaptured || !m_bRumbleDown)
        return;
    POINT pt = PointFromLParam(lParam);
    LONG dx = std::labs(pt.x - m_ptPress.x);
    LONG dy = std::labs(pt.y - m_ptPress.y);
    LONG d = dx > dy ? dx : dy;
    if (d > 255)
        d = 255;
    m_report.rumble = static_cast<uint8_t>(d);
    // Sent on every move, also when the strength did not change.
    WriteOutputReport();
}

void ForcePage::OnButtonUp()
{
    if (!m_bCaptured)
        return;
    ReleaseCapture();
    m_bCaptured = 0;
    m_bShockDown = 0;
    m_bRumbleDown = 0;
    m_report.shock = 0;
    m_report.rumble = 0;
    WriteOutputReport();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}
