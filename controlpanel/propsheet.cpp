#include "controlpanel/propsheet.h"

#include <string.h>

#include "controlpanel/module.h"
#include "controlpanel/propertypage.h"

namespace {

struct PageRow {
    WORD wTemplate;
    DLGPROC pfnDlgProc;
};

const PageRow PageTable[] = {
    {101, TestPageDlgProc},
    {102, ForcePageDlgProc},
};
const int kNumPages = sizeof(PageTable) / sizeof(PageTable[0]);

const WORD kIconId = 142;
const UINT kCaptionStringId = 1;
const int kCaptionChars = 260;

} // namespace

CPropertySheetObject::CPropertySheetObject()
    : m_cRef(0), m_nID(0xFFFF), m_digcSheetInfo(), m_pdigcPageInfo(nullptr),
      m_wszSheetCaption(nullptr), m_pdi(nullptr), m_pdiJoyCfg(nullptr),
      m_pdiDevice2(nullptr), m_fInitialized(0), m_hHidDevice(nullptr),
      m_hReaderThread(nullptr), m_hStopEvent(nullptr), m_hDoneEvent(nullptr)
{
    InitializeCriticalSection(&m_csReport);
    AddRef();
    InterlockedIncrement(&g_cServerLocks);
    memset(m_abInputReport, 0, sizeof(m_abInputReport));
}

CPropertySheetObject::~CPropertySheetObject()
{
    if (m_pdigcPageInfo) LocalFree(m_pdigcPageInfo);
    if (m_wszSheetCaption) LocalFree(m_wszSheetCaption);
    if (m_pdiDevice2) {
        m_pdiDevice2->Unacquire();
        m_pdiDevice2->Release();
    }
    if (m_pdiJoyCfg) {
        m_pdiJoyCfg->Unacquire();
        m_pdiJoyCfg->Release();
    }
    if (m_pdi) m_pdi->Release();
    DeleteCriticalSection(&m_csReport);
    InterlockedDecrement(&g_cServerLocks);
}

STDMETHODIMP CPropertySheetObject::QueryInterface(REFIID riid, void **ppv)
{
    *ppv = nullptr;
    if (IsEqualGUIDBytes(riid, IID_IUnknown) || IsEqualGUIDBytes(riid, IID_IDIGameCntrlPropSheet)) {
        *ppv = static_cast<IDIGameCntrlPropSheet *>(this);
        static_cast<IDIGameCntrlPropSheet *>(*ppv)->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPropertySheetObject::AddRef()
{
    return static_cast<ULONG>(static_cast<LONG>(InterlockedIncrement16(&m_cRef)));
}

STDMETHODIMP_(ULONG) CPropertySheetObject::Release()
{
    SHORT n = InterlockedDecrement16(&m_cRef);
    if (n != 0) return static_cast<ULONG>(static_cast<LONG>(n));
    delete this;
    return 0;
}

STDMETHODIMP CPropertySheetObject::GetSheetInfo(DIGCSHEETINFO **ppSheetInfo)
{
    *ppSheetInfo = &m_digcSheetInfo;
    return S_OK;
}

STDMETHODIMP CPropertySheetObject::GetPageInfo(DIGCPAGEINFO **ppPageInfo)
{
    *ppPageInfo = m_pdigcPageInfo;
    return S_OK;
}

STDMETHODIMP CPropertySheetObject::SetID(USHORT nID)
{
    m_nID = nID;
    return S_OK;
}

USHORT CPropertySheetObject::GetID()
{
    return m_nID;
}

HRESULT CPropertySheetObject::Initialize()
{
    m_pdigcPageInfo = static_cast<DIGCPAGEINFO *>(LocalAlloc(LPTR, kNumPages * sizeof(DIGCPAGEINFO)));
    if (!m_pdigcPageInfo) {
        OutputDebugStringA("Unable to allocate m_pdigcPageInfo\n");
        return E_OUTOFMEMORY;
    }
    m_wszSheetCaption = static_cast<WCHAR *>(LocalAlloc(LPTR, kCaptionChars * sizeof(WCHAR)));
    if (!m_wszSheetCaption) {
        OutputDebugStringA("Unable to allocate m_wszSheetCaption\n");
        return E_OUTOFMEMORY;
    }

    for (int i = 0; i < kNumPages; ++i) {
        DIGCPAGEINFO &page = m_pdigcPageInfo[i];
        page.dwSize = sizeof(DIGCPAGEINFO);
        page.lpwszPageTitle = nullptr; // the templates carry the captions
        page.fpPageProc = PageTable[i].pfnDlgProc;
        page.fProcFlag = FALSE;
        page.fpPrePostProc = nullptr;
        page.fIconFlag = FALSE;
        page.lpwszPageIcon = MAKEINTRESOURCEW(kIconId);
        page.lpwszTemplate = MAKEINTRESOURCEW(PageTable[i].wTemplate);
        page.lParam = reinterpret_cast<LPARAM>(this);
        page.hInstance = g_hInstance;
    }

    m_digcSheetInfo.dwSize = sizeof(DIGCSHEETINFO);
    m_digcSheetInfo.nNumPages = static_cast<USHORT>(kNumPages);
    m_digcSheetInfo.fSheetIconFlag = TRUE;
    m_digcSheetInfo.lpwszSheetIcon = MAKEINTRESOURCEW(kIconId);

    char szCaption[kCaptionChars] = {};
    if (LoadStringA(g_hInstance, kCaptionStringId, szCaption, kCaptionChars) <= 0)
        szCaption[0] = '\0';
    int cch = lstrlenA(szCaption);
    if (cch > 0)
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, szCaption, cch, m_wszSheetCaption, kCaptionChars - 1);
    m_digcSheetInfo.lpwszSheetCaption = m_wszSheetCaption;
    return S_OK;
}
