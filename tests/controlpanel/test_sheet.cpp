// The sheet and page descriptions the control panel reads, the joystick id,
// and the resources the descriptions name, as the shipped DLL carries them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controlpanel/digcpropsheet.h"
#include "controlpanel/module.h"
#include "controlpanel/propertypage.h"
#include "controlpanel/propsheet.h"
#include "tests/controlpanel/module_state.h"

namespace {

class Sheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureModuleState());
        m_locksBefore = g_cServerLocks;
        void *pv = nullptr;
        ASSERT_EQ(DllGetClassObject(CLSID_ControlPanelServer, IID_IClassFactory, &pv), S_OK);
        IClassFactory *f = static_cast<IClassFactory *>(pv);
        ASSERT_EQ(f->CreateInstance(nullptr, IID_IDIGameCntrlPropSheet, reinterpret_cast<void **>(&m_pSheet)), S_OK);
        f->Release();
    }
    void TearDown() override
    {
        if (m_pSheet) {
            EXPECT_EQ(m_pSheet->Release(), 0u);
        }
        EXPECT_EQ(g_cServerLocks, m_locksBefore);
    }
    CPropertySheetObject *Object() { return static_cast<CPropertySheetObject *>(m_pSheet); }

    IDIGameCntrlPropSheet *m_pSheet = nullptr;
    LONG m_locksBefore = 0;
};

TEST_F(Sheet, JoystickIdStartsUnsetAndTakesAnyValue)
{
    EXPECT_EQ(Object()->GetID(), 0xFFFF);
    EXPECT_EQ(m_pSheet->SetID(3), S_OK);
    EXPECT_EQ(Object()->GetID(), 3);
    EXPECT_EQ(m_pSheet->SetID(0xFFFF), S_OK);
    EXPECT_EQ(Object()->GetID(), 0xFFFF);
}

TEST_F(Sheet, SheetInfoLivesInTheObjectAndNamesCaptionAndIcon)
{
    DIGCSHEETINFO *a = nullptr, *b = nullptr;
    ASSERT_EQ(m_pSheet->GetSheetInfo(&a), S_OK);
    ASSERT_EQ(m_pSheet->GetSheetInfo(&b), S_OK);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->dwSize, sizeof(DIGCSHEETINFO));
#if !defined(_WIN64)
    EXPECT_EQ(a->dwSize, 20u);
#endif
    EXPECT_EQ(a->nNumPages, 2);
    ASSERT_NE(a->lpwszSheetCaption, nullptr);
    EXPECT_EQ(std::wstring(a->lpwszSheetCaption), L"Tavrel USB Panel");
    EXPECT_EQ(a->fSheetIconFlag, TRUE);
    EXPECT_EQ(a->lpwszSheetIcon, MAKEINTRESOURCEW(142));
}

TEST_F(Sheet, TwoPageDescriptionsCarryTemplatesProceduresAndTheObject)
{
    DIGCPAGEINFO *pages = nullptr;
    ASSERT_EQ(m_pSheet->GetPageInfo(&pages), S_OK);
    ASSERT_NE(pages, nullptr);
    const DLGPROC procs[2] = {TestPageDlgProc, ForcePageDlgProc};
    const WORD templates[2] = {101, 102};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const DIGCPAGEINFO &pg = pages[i];
        EXPECT_EQ(pg.dwSize, sizeof(DIGCPAGEINFO));
#if !defined(_WIN64)
        EXPECT_EQ(pg.dwSize, 40u);
#endif
        EXPECT_EQ(pg.lpwszPageTitle, nullptr);
        EXPECT_EQ(pg.fpPageProc, procs[i]);
        EXPECT_EQ(pg.fProcFlag, FALSE);
        EXPECT_EQ(pg.fpPrePostProc, nullptr);
        EXPECT_EQ(pg.fIconFlag, FALSE);
        EXPECT_EQ(pg.lpwszPageIcon, MAKEINTRESOURCEW(142));
        EXPECT_EQ(pg.lpwszTemplate, MAKEINTRESOURCEW(templates[i]));
        EXPECT_EQ(pg.lParam, reinterpret_cast<LPARAM>(Object()));
        EXPECT_EQ(pg.hInstance, g_hInstance);
    }
}

// --- resources ---------------------------------------------------------

const BYTE *Resource(LPCSTR type, WORD id, DWORD *pcb)
{
    HRSRC r = FindResourceA(g_hInstance, MAKEINTRESOURCEA(id), type);
    if (!r) return nullptr;
    *pcb = SizeofResource(g_hInstance, r);
    return static_cast<const BYTE *>(LockResource(LoadResource(g_hInstance, r)));
}

// A classic dialog template, walked as the dialog manager reads it.
struct Reader {
    const BYTE *p;
    WORD Word() { WORD w; memcpy(&w, p, 2); p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, p, 4); p += 4; return d; }
    // sz_Or_Ord: a string, or 0xFFFF and an ordinal (returned as "#n").
    std::wstring SzOrOrd()
    {
        WORD w = Word();
        if (w == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring s;
        while (w) { s += static_cast<wchar_t>(w); w = Word(); }
        return s;
    }
    void AlignDword(const BYTE *base) { while ((p - base) % 4) ++p; }
};

struct Item {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::wstring cls, text;
};

struct Dialog {
    DWORD style = 0;
    short x, y, cx, cy;
    std::wstring menu, cls, title, face;
    WORD points = 0;
    std::vector<Item> items;
    bool ok = false;
};

Dialog ParseDialog(WORD id)
{
    Dialog d;
    DWORD cb = 0;
    const BYTE *base = Resource(MAKEINTRESOURCEA(5) /* RT_DIALOG */, id, &cb);
    if (!base) return d;
    Reader r{base};
    d.style = r.Dword();
    if (HIWORD(d.style) == 0xFFFF) return d; // an extended template: not what we ship
    r.Dword(); // extended style
    WORD n = r.Word();
    d.x = r.Word(); d.y = r.Word(); d.cx = r.Word(); d.cy = r.Word();
    d.menu = r.SzOrOrd();
    d.cls = r.SzOrOrd();
    d.title = r.SzOrOrd();
    if (d.style & DS_SETFONT) {
        d.points = r.Word();
        d.face = r.SzOrOrd();
    }
    for (WORD i = 0; i < n; ++i) {
        r.AlignDword(base);
        Item it;
        it.style = r.Dword();
        r.Dword();
        it.x = r.Word(); it.y = r.Word(); it.cx = r.Word(); it.cy = r.Word();
        it.id = r.Word();
        it.cls = r.SzOrOrd();
        it.text = r.SzOrOrd();
        WORD extra = r.Word();
        r.p += extra;
        d.items.push_back(it);
    }
    d.ok = static_cast<DWORD>(r.p - base) <= cb;
    return d;
}

void ExpectPageFrame(const Dialog &d, const wchar_t *title)
{
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.style, 0x80C000C0u);
    EXPECT_EQ(d.cx, 327);
    EXPECT_EQ(d.cy, 210);
    EXPECT_EQ(d.title, title);
    EXPECT_EQ(d.menu, L"");
    EXPECT_EQ(d.cls, L"");
    EXPECT_EQ(d.points, 8);
    EXPECT_EQ(d.face, L"MS Sans Serif");
}

TEST(Resources, TestPageTemplateHasTheTypeListAndItsLabel)
{
    ASSERT_TRUE(EnsureModuleState());
    Dialog d = ParseDialog(101);
    ExpectPageFrame(d, L"Test");
    ASSERT_EQ(d.items.size(), 2u);

    const Item &combo = d.items[0];
    EXPECT_EQ(combo.id, 1061);
    EXPECT_EQ(combo.cls, L"#133"); // the predefined combo box class
    EXPECT_EQ(combo.style, 0x50210003u);
    EXPECT_EQ(combo.x, 244); EXPECT_EQ(combo.y, 6); EXPECT_EQ(combo.cx, 70); EXPECT_EQ(combo.cy, 70);

    const Item &label = d.items[1];
    EXPECT_EQ(label.id, 0xFFFF);
    EXPECT_EQ(label.cls, L"#130"); // static
    EXPECT_EQ(label.text, L"Type:");
    EXPECT_EQ(label.style, 0x50020000u);
    EXPECT_EQ(label.x, 221); EXPECT_EQ(label.y, 9); EXPECT_EQ(label.cx, 19); EXPECT_EQ(label.cy, 8);
}

TEST(Resources, ForcePageTemplateHasNoControls)
{
    ASSERT_TRUE(EnsureModuleState());
    Dialog d = ParseDialog(102);
    ExpectPageFrame(d, L"Force");
    EXPECT_TRUE(d.items.empty());
}

TEST(Resources, IconGroupHoldsA16AndA256ColourPad)
{
    ASSERT_TRUE(EnsureModuleState());
    DWORD cb = 0;
    const BYTE *dir = Resource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 142, &cb);
    ASSERT_NE(dir, nullptr);
    ASSERT_GE(cb, 6u);
    WORD count;
    memcpy(&count, dir + 4, 2);
    ASSERT_EQ(count, 2);
    ASSERT_GE(cb, 6u + 14u * count);
    std::vector<int> colours;
    for (int i = 0; i < count; ++i) {
        const BYTE *e = dir + 6 + 14 * i; // GRPICONDIRENTRY
        EXPECT_EQ(e[0], 32);
        EXPECT_EQ(e[1], 32);
        WORD bits;
        memcpy(&bits, e + 6, 2);
        colours.push_back(1 << bits);
    }
    std::sort(colours.begin(), colours.end());
    EXPECT_EQ(colours, (std::vector<int>{16, 256}));

    HICON h = static_cast<HICON>(LoadImageA(g_hInstance, MAKEINTRESOURCEA(142), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(h, nullptr);
    if (h) DestroyIcon(h);
}

} // namespace
