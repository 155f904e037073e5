// The picture the Test page shows: the pad's picture set, lit where the
// decoded state presses a button or pushes an axis out of its middle band.
//
// How the Test page uses it
// -------------------------
//   PictureCompositor(HMODULE hResources = nullptr)
//       hResources holds the type-100 picture resources. nullptr means the
//       module that contains this code, which inside tavrelusbcp.dll is the
//       DLL itself (so the page needs neither g_hInstance nor an argument);
//       a test program passes the DLL it loaded. Nothing is loaded yet.
//   void UpdatePicture(const JoystickState &state)
//       Call after every change of the decoded state and after every change
//       of the "Type:" choice. Reloads the picture set only when the kind or
//       the choice changed, composes only when the lit elements, the kind,
//       the choice or the presence of a pad changed, and blanks the picture
//       to RGB(217, 217, 255) while no pad is attached.
//   void SetSelection(int index)
//       The "Type:" combo index (0 "Auto" ... 4 "Fishing"; CB_ERR counts as
//       "Auto"). Sets m_nSelection and m_nLastKind = -1, so the next
//       UpdatePicture reloads even when the kind is unchanged. Setting the
//       two fields by hand does the same.
//   DibPicture *m_pComposite
//       What WM_PAINT Blits at (10, 10); nullptr before the first update or
//       when memory ran out. Its Width()/Height() give the frame size.
//   The destructor deletes all four pictures (not virtual: a TestPage may
//   hold the compositor as a member or derive from it).
//
// m_cSetLoads / m_cCompositions / m_cBlanks count the work done, so tests
// can tell a reload or a recomposition from a cached update without clocks.
#pragma once

#include <windows.h>

#include "device/converter_reports.h"
#include "testpage/dibpicture.h"

// The pictures' background, 0x00BBGGRR: what the picture shows with no pad.
const DWORD kPictureBackground = 0x00FFD9D9; // RGB(217, 217, 255)
const int kPictureWidth = 300;
const int kPictureHeight = 320;

// Bit e-1 set: element e of the element map is drawn highlighted. Buttons
// light elements 1..16; each axis below 0x5000 or above 0xB000 (strictly)
// lights one of 17..24. Bit 24 (element 25) is never set.
DWORD HighlightMask(const JoystickState &state);

class PictureCompositor {
public:
    explicit PictureCompositor(HMODULE hResources = nullptr);
    ~PictureCompositor();

    PictureCompositor(const PictureCompositor &) = delete;
    PictureCompositor &operator=(const PictureCompositor &) = delete;

    void UpdatePicture(const JoystickState &state);
    void SetSelection(int index);
    HMODULE ResourceModule() const { return m_hResources; }

    DibPicture *m_pNormal;
    DibPicture *m_pHighlighted;
    DibPicture *m_pMap;
    DibPicture *m_pComposite;
    DWORD m_dwLastMask; // mask of the picture on show; 0xFFFFFFFF: none (nothing composed, or blanked)
    LONG m_nLastKind;   // kind the set was loaded for; -1: reload wanted
    LONG m_nSelection;  // "Type:" index, 0 = "Auto"

    int m_cSetLoads;     // picture sets (re)loaded
    int m_cCompositions; // Compose calls
    int m_cBlanks;       // Fill calls for "no pad"

protected:
    // Normal, highlighted, map, composed, in that order.
    void DeletePictures();

private:

    HMODULE m_hResources;
};
