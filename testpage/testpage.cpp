#include "testpage/testpage.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <prsht.h>

#include "controlpanel/module.h"
#include "controlpanel/propsheet.h"
#include "testpage/dibpicture.h"

void (*g_pfnTestPageTeardownStep)(const char *pszStep) = nullptr;

static void TeardownStep(const char *pszStep)
{
    if (g_pfnTestPageTeardownStep)
        g_pfnTestPageTeardownStep(pszStep);
}

// "Type:" entries; their indices are the choice indices of the compositor.
static const char *const kTypeEntries[kChoiceCount] = {"Auto", "Hori", "Dance", "Cockpit", "Fishing"};

TestPage::TestPage(CPropertySheetObject *pSheet, HWND hWnd)
    : PropertyPage(pSheet),
      PictureCompositor(g_hInstance),
      m_hWnd(hWnd),
      m_hbmAxes(nullptr),
      m_hbmButtons(nullptr),
      m_hbrFace(nullptr),
      m_hbrDark(nullptr),
      m_hbrLit(nullptr),
      m_hpenFace(nullptr),
      m_hFont(nullptr),
      m_nTimer(0),
      m_state(),
      m_bStateValid(false),
      m_bTicked(false)
{
    m_dwLastMask = 0xFFFFFFFF;
    m_nLastKind = -1;
    m_nSelection = kChoiceAuto;

    // The sheet frame, not the page, is the window DirectInput cooperates with.
    if (FAILED(m_pSheet->InitializeDirectInput(GetParent(m_hWnd))))
        OutputDebugStringA("InitializeDirectInput failed!\n");

    if (m_pSheet->m_pdiDevice2) {
        // Any non-zero answer is worth a note, the "already acquired" ones too.
        if (m_pSheet->m_pdiDevice2->Acquire() != 0)
            OutputDebugStringA("Failed to acquire joystck\n");
    }

    m_nTimer = SetTimer(m_hWnd, kTimerId, kTimerPeriod, nullptr);

    COLORREF crFace = GetSysColor(COLOR_BTNFACE);
    m_hbrFace = CreateSolidBrush(crFace);
    m_hbrLit = CreateSolidBrush(RGB(240, 10, 10));
    m_hbrDark = CreateSolidBrush(RGB(10, 10, 10));
    m_hpenFace = CreatePen(PS_SOLID, 0, crFace);
    m_hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    HDC hdc = GetDC(m_hWnd);
    if (hdc) {
        m_hbmAxes = CreateCompatibleBitmap(hdc, kAxesW, kAxesH);
        m_hbmButtons = CreateCompatibleBitmap(hdc, kButtonsW, kButtonsH);
    }

    m_pSheet->StartHidReader();

    for (const char *pszEntry : kTypeEntries)
        SendDlgItemMessageA(m_hWnd, kTypeCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszEntry));
    SendDlgItemMessageA(m_hWnd, kTypeCombo, CB_SETCURSEL, 0, 0);

    if (hdc)
        ReleaseDC(m_hWnd, hdc);
}

TestPage::~TestPage()
{
    // No tick may poll while the reader is being torn down.
    TeardownStep("KillTimer");
    KillTimer(m_hWnd, m_nTimer);
    TeardownStep("StopHidReader");
    m_pSheet->StopHidReader();
    if (m_pSheet->m_pdiDevice2) {
        TeardownStep("Unacquire");
        m_pSheet->m_pdiDevice2->Unacquire();
    }
    TeardownStep("DeletePictures");
    DeletePictures();

    DeleteObject(m_hbrFace);
    DeleteObject(m_hbrLit);
    DeleteObject(m_hbrDark);
    DeleteObject(m_hpenFace);
    if (m_hbmAxes)
        DeleteObject(m_hbmAxes);
    if (m_hbmButtons)
        DeleteObject(m_hbmButtons);
}

LRESULT TestPage::HandleMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_TIMER:
        m_bTicked = true;
        if (PollReport())
            Redraw();
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == kTypeCombo && HIWORD(wParam) == CBN_SELCHANGE) {
            // Reloads the set on the next update even when the kind is the same.
            SetSelection(static_cast<int>(SendMessageA(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0)));
            Redraw();
        }
        break;
    case WM_PAINT:
        OnPaint();
        break;
    default:
        break;
    }
    return 0;
}

void TestPage::Redraw()
{
    UpdatePicture(m_state);
    DrawAxesPanel();
    DrawButtonsPanel();
    // Everything was drawn off screen; not erasing keeps the page from flickering.
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool TestPage::PollReport()
{
    BYTE abReport[8] = {};
    m_pSheet->CopyInputReport(abReport, sizeof(abReport));
    JoystickState state = DecodeInputReport(abReport);
    if (m_bStateValid && StatesEqual(m_state, state))
        return false;
    m_state = state;
    m_bStateValid = true;
    return true;
}

static void CopyBitmap(HDC hdcDest, HBITMAP hbm, int x, int y, int w, int h)
{
    HDC hdcMem = CreateCompatibleDC(hdcDest);
    if (!hdcMem)
        return;
    HGDIOBJ hOld = SelectObject(hdcMem, hbm);
    BitBlt(hdcDest, x, y, w, h, hdcMem, 0, 0, SRCCOPY);
    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
}

void TestPage::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    // Until the first tick there is nothing decoded to show.
    if (hdc && m_bTicked) {
        if (m_pComposite) {
            RECT rcFrame = {kPictureX - 2, kPictureY - 2, kPictureX - 2 + m_pComposite->Width() + 4,
                            kPictureY - 2 + m_pComposite->Height() + 4};
            DrawEdge(hdc, &rcFrame, EDGE_SUNKEN, BF_RECT);
            m_pComposite->Blit(hdc, kPictureX, kPictureY);
        }
        if (m_hbmAxes)
            CopyBitmap(hdc, m_hbmAxes, kAxesX, kAxesY, kAxesW, kAxesH);
        if (m_hbmButtons)
            CopyBitmap(hdc, m_hbmButtons, kButtonsX, kButtonsY, kButtonsW, kButtonsH);
    }
    EndPaint(m_hWnd, &ps);
}

// A memory context on one of the page's panel bitmaps, with the page's
// drawing objects selected; restores and frees everything when it ends.
class PanelContext {
public:
    PanelContext(HWND hWnd, HBITMAP hbm, HBRUSH hbr, HPEN hpen, HFONT hFont) : m_hWnd(hWnd)
    {
        m_hdcWnd = GetDC(hWnd);
        m_hdc = m_hdcWnd ? CreateCompatibleDC(m_hdcWnd) : nullptr;
        if (!m_hdc)
            return;
        m_hOldBitmap = SelectObject(m_hdc, hbm);
        m_hOldBrush = SelectObject(m_hdc, hbr);
        m_hOldPen = SelectObject(m_hdc, hpen);
        m_hOldFont = SelectObject(m_hdc, hFont);
        SetBkMode(m_hdc, TRANSPARENT);
    }
    ~PanelContext()
    {
        if (m_hdc) {
            SelectObject(m_hdc, m_hOldFont);
            SelectObject(m_hdc, m_hOldPen);
            SelectObject(m_hdc, m_hOldBrush);
            SelectObject(m_hdc, m_hOldBitmap);
            DeleteDC(m_hdc);
        }
        if (m_hdcWnd)
            ReleaseDC(m_hWnd, m_hdcWnd);
    }
    PanelContext(const PanelContext &) = delete;
    PanelContext &operator=(const PanelContext &) = delete;
    HDC Get() const { return m_hdc; }

private:
    HWND m_hWnd;
    HDC m_hdcWnd = nullptr;
    HDC m_hdc = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr, m_hOldBrush = nullptr, m_hOldPen = nullptr, m_hOldFont = nullptr;
};

COLORREF AxisLabelColour(COLORREF crFace)
{
    // Near-white labels read well on a mid-grey face and on the dark thumb,
    // but vanish on the light faces of current systems (240, 240, 240 is
    // the usual one); there the labels go dark instead.
    int luma = (GetRValue(crFace) * 299 + GetGValue(crFace) * 587 + GetBValue(crFace) * 114) / 1000;
    return luma > 200 ? RGB(10, 10, 10) : RGB(240, 240, 240);
}

void TestPage::DrawAxesPanel()
{
    if (!m_hbmAxes)
        return;
    PanelContext ctx(m_hWnd, m_hbmAxes, m_hbrFace, m_hpenFace, m_hFont);
    HDC hdc = ctx.Get();
    if (!hdc)
        return;
    Rectangle(hdc, 0, 0, kAxesW, kAxesH);
    SetTextColor(hdc, AxisLabelColour(GetSysColor(COLOR_BTNFACE)));

    // The display follows the reported kind; the "Type:" choice only swaps pictures.
    switch (ControllerKind(m_state)) {
    case 2:
        DrawAxisBar(hdc, 0, 0, 70, 16, m_state.A1);
        DrawAxisBar(hdc, 0, 25, 70, 16, m_state.A2);
        DrawAxisBar(hdc, 0, 50, 70, 16, m_state.A3);
        DrawAxisBar(hdc, 0, 75, 70, 16, m_state.A4);
        break;
    case 7:
        DrawAxisBox(hdc, 0, 0, 70, 70, m_state.A1, m_state.A2);
        DrawAxisBox(hdc, 0, 75, 70, 70, m_state.A3, m_state.A4);
        break;
    case 8:
        DrawAxisBox(hdc, 0, 0, 70, 70, m_state.A1, m_state.A2);
        DrawAxisBar(hdc, 0, 75, 70, 16, m_state.A3);
        DrawAxisBar(hdc, 0, 100, 70, 16, m_state.A4);
        break;
    case 14:
        DrawAxisBox(hdc, 0, 0, 70, 70, m_state.A1, m_state.A2);
        break;
    default:
        break;
    }
}

// Clamps an axis value to its documented range so a stray value can never
// place a thumb or a label outside its box.
static LONG ClampAxis(LONG v)
{
    return v < 0 ? 0 : (v > 65535 ? 65535 : v);
}

static void FormatNumber(char (&sz)[16], int n)
{
    snprintf(sz, sizeof(sz), "%d", n);
}

void TestPage::FillWithThumb(HDC hdc, const RECT &rcBox, const RECT &rcThumb)
{
    RECT rcCut;
    IntersectRect(&rcCut, &rcThumb, &rcBox);
    FillRect(hdc, &rcBox, m_hbrFace);
    FillRect(hdc, &rcCut, m_hbrDark);
    RECT rcEdge = rcBox;
    DrawEdge(hdc, &rcEdge, EDGE_SUNKEN, BF_RECT);
}

void TestPage::DrawAxisBar(HDC hdc, int x, int y, int w, int h, LONG v)
{
    v = ClampAxis(v);
    int offset = static_cast<int>((w - 10) * v / 65535);
    RECT rcBox = {x, y, x + w, y + h};
    RECT rcThumb = {x + offset, y, x + offset + 10, y + h};
    FillWithThumb(hdc, rcBox, rcThumb);

    char sz[16];
    FormatNumber(sz, static_cast<int>(v * 100 / 65535));
    RECT rcText = {x + w / 2, y + h / 2 - 6, x + w / 2, y + h / 2 - 6};
    DrawTextA(hdc, sz, -1, &rcText, DT_LEFT | DT_NOCLIP);
}

void TestPage::DrawAxisBox(HDC hdc, int x, int y, int w, int h, LONG vx, LONG vy)
{
    vx = ClampAxis(vx);
    vy = ClampAxis(vy);
    int ox = static_cast<int>((w - 10) * vx / 65535);
    int oy = static_cast<int>((h - 10) * vy / 65535);
    RECT rcBox = {x, y, x + w, y + h};
    RECT rcThumb = {x + ox, y + oy, x + ox + 10, y + oy + 10};
    FillWithThumb(hdc, rcBox, rcThumb);

    char sz[16];
    FormatNumber(sz, static_cast<int>(vx * 100 / 65535));
    RECT rcMeasure = {0, 0, 0, 0};
    DrawTextA(hdc, sz, -1, &rcMeasure, DT_CALCRECT | DT_NOCLIP);
    int tw = rcMeasure.right - rcMeasure.left;
    int th = rcMeasure.bottom - rcMeasure.top;
    RECT rcText1 = {x + w / 2 - tw - 4, y + h - th - 4, x + w / 2 - 4, y + h - 4};
    DrawTextA(hdc, sz, -1, &rcText1, DT_LEFT | DT_NOCLIP);

    FormatNumber(sz, static_cast<int>(vy * 100 / 65535));
    RECT rcText2 = {x + w / 2 + 4, y + h - th - 4, x + w / 2 + 4, y + h - 4};
    DrawTextA(hdc, sz, -1, &rcText2, DT_LEFT | DT_NOCLIP);
}

void TestPage::DrawButtonsPanel()
{
    if (!m_hbmButtons)
        return;
    PanelContext ctx(m_hWnd, m_hbmButtons, m_hbrFace, m_hpenFace, m_hFont);
    HDC hdc = ctx.Get();
    if (!hdc)
        return;
    Rectangle(hdc, 0, 0, kButtonsW, kButtonsH);
    SetTextColor(hdc, RGB(10, 10, 10));
    for (int i = 0; i < 16; ++i)
        DrawButtonCell(hdc, 15 + 40 * (i / 8), 20 * (i % 8), m_state.buttons[i] != 0, i + 1);
}

void TestPage::DrawButtonCell(HDC hdc, int x, int y, bool bPressed, int nNumber)
{
    RECT rcSquare = {x, y, x + 14, y + 14};
    // Without a controller the lamps show only their frames: no state to show.
    if (IsControllerPresent(m_state))
        FillRect(hdc, &rcSquare, bPressed ? m_hbrLit : m_hbrDark);
    DrawEdge(hdc, &rcSquare, EDGE_SUNKEN, BF_RECT);

    char sz[16];
    FormatNumber(sz, nNumber);
    RECT rcText = {x - 20, y, x - 4, y + 14};
    DrawTextA(hdc, sz, -1, &rcText, DT_RIGHT);
}

INT_PTR CALLBACK TestPageDlgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return PageDialogProc<TestPage>(hWnd, uMsg, wParam, lParam);
}
