// The object the control panel creates through our class factory: the
// sheet's description, the joystick id, and the context both pages share
// (DirectInput objects and the HID read channel).
#pragma once

#define DIRECTINPUT_VERSION 0x0700
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

#include "controlpanel/digcpropsheet.h"

class CPropertySheetObject : public IDIGameCntrlPropSheet {
public:
    CPropertySheetObject();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDIGameCntrlPropSheet
    STDMETHODIMP GetSheetInfo(DIGCSHEETINFO **ppSheetInfo) override;
    STDMETHODIMP GetPageInfo(DIGCPAGEINFO **ppPageInfo) override;
    STDMETHODIMP SetID(USHORT nID) override;
    // own
    virtual USHORT GetID();
    virtual HRESULT Initialize();

    // DirectInput objects (created once, first caller wins).
    HRESULT InitializeDirectInput(HWND hWnd);

    // HID read channel; the Test page starts and stops it.
    HANDLE OpenHidDevice();
    void StartHidReader();
    void StopHidReader();
    BYTE *CopyInputReport(BYTE *pDest, int cb);

    IDirectInput *m_pdi = nullptr;
    IDirectInputJoyConfig *m_pdiJoyCfg = nullptr;
    IDirectInputDevice2A *m_pdiDevice2 = nullptr;

private:
    ~CPropertySheetObject();
    friend void HidReaderThread(void *pv);

    SHORT m_cRef;
    USHORT m_nID;
    DIGCSHEETINFO m_digcSheetInfo;
    DIGCPAGEINFO *m_pdigcPageInfo;
    WCHAR *m_wszSheetCaption;
    BYTE m_fInitialized;
    BYTE m_abInputReport[8];
    HANDLE m_hHidDevice = nullptr;
    HANDLE m_hReaderThread = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hDoneEvent = nullptr;
    CRITICAL_SECTION m_csReport; // excludes the reader's store from CopyInputReport
};

// Reader thread body (its argument is the property-sheet object).
void HidReaderThread(void *pv);

// Opens a converter path for synchronous shared reading and writing.
HANDLE OpenConverterPath(const char *path);

HRESULT DIUtilCreateDeviceFromJoyConfig(SHORT id, HWND hWnd, IDirectInput *pdi,
                                        IDirectInputJoyConfig *pdiJoyCfg,
                                        IDirectInputDevice2A **ppdiDevice2);
extern DIDATAFORMAT JoystickDataFormat;
