// The object the control panel creates through our class factory: the
// sheet's description, the joystick id, and the context both pages share
// (DirectInput objects and the HID read channel).
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

#include "controlpanel/digcpropsheet.h"

class CPropertySheetObject final : public IDIGameCntrlPropSheet {
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

    // DirectInput objects: created by the first caller, later calls find them
    // made; a failed call leaves what it made and the next one retries only
    // the missing pieces.
    HRESULT InitializeDirectInput(HWND hWnd);

    // HID read channel; the Test page starts and stops it, one pair per life
    // of its window.
    HANDLE OpenHidDevice();
    void StartHidReader();
    void StopHidReader();
    // Copies min(cb, 8) bytes of the latest whole report; returns pDest.
    BYTE *CopyInputReport(BYTE *pDest, int cb);

    // The fields keep the documented order; only the device interfaces are
    // for the pages to use directly.
private:
    SHORT m_cRef;
    USHORT m_nID;
    DIGCSHEETINFO m_digcSheetInfo;
    DIGCPAGEINFO *m_pdigcPageInfo;
    WCHAR *m_wszSheetCaption;

public:
    IDirectInput *m_pdi;
    IDirectInputJoyConfig *m_pdiJoyCfg;
    IDirectInputDevice2A *m_pdiDevice2;

private:
    BYTE m_fInitialized;
    BYTE m_abInputReport[8];
    HANDLE m_hHidDevice;
    HANDLE m_hReaderThread;
    HANDLE m_hStopEvent;
    HANDLE m_hDoneEvent;
    CRITICAL_SECTION m_csReport; // the reader's store and CopyInputReport exclude each other

    ~CPropertySheetObject();
    CPropertySheetObject(const CPropertySheetObject &) = delete;
    CPropertySheetObject &operator=(const CPropertySheetObject &) = delete;
    friend unsigned __stdcall HidReaderThread(void *pv);
};

// Reader thread body (its argument is the property-sheet object).
unsigned __stdcall HidReaderThread(void *pv);

HRESULT DIUtilCreateDeviceFromJoyConfig(SHORT id, HWND hWnd, IDirectInput *pdi,
                                        IDirectInputJoyConfig *pdiJoyCfg,
                                        IDirectInputDevice2A **ppdiDevice2);

// Describes JoystickState (device/converter_reports.h) to DirectInput.
extern const DIDATAFORMAT JoystickDataFormat;
