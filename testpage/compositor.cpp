#include "testpage/compositor.h"

#include <new>

namespace {

const LONG kAxisLow = 0x5000;
const LONG kAxisHigh = 0xB000;

HMODULE ModuleOfThisCode()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModuleOfThisCode), &module))
        return nullptr;
    return module;
}

DibPicture *NewPicture(int width, int height, int bitsPerPixel)
{
    return new (std::nothrow) DibPicture(width, height, bitsPerPixel);
}

} // namespace

DWORD HighlightMask(const JoystickState &state)
{
    DWORD mask = 0;
    for (int i = 0; i < 16; ++i)
        if (state.buttons[i] != 0) mask |= 1u << i;
    if (state.A1 < kAxisLow) mask |= 1u << 21;
    if (state.A2 < kAxisLow) mask |= 1u << 20;
    if (state.A3 < kAxisLow) mask |= 1u << 23;
    if (state.A4 < kAxisLow) mask |= 1u << 22;
    if (state.A1 > kAxisHigh) mask |= 1u << 17;
    if (state.A2 > kAxisHigh) mask |= 1u << 16;
    if (state.A3 > kAxisHigh) mask |= 1u << 19;
    if (state.A4 > kAxisHigh) mask |= 1u << 18;
    return mask;
}

PictureCompositor::PictureCompositor(HMODULE hResources)
    : m_pNormal(nullptr), m_pHighlighted(nullptr), m_pMap(nullptr), m_pComposite(nullptr),
      m_dwLastMask(0xFFFFFFFF), m_nLastKind(-1), m_nSelection(0), m_cSetLoads(0),
      m_cCompositions(0), m_cBlanks(0), m_hResources(hResources ? hResources : ModuleOfThisCode())
{
}

PictureCompositor::~PictureCompositor() { DeletePictures(); }

void PictureCompositor::DeletePictures()
{
    delete m_pNormal;
    m_pNormal = nullptr;
    delete m_pHighlighted;
    m_pHighlighted = nullptr;
    delete m_pMap;
    m_pMap = nullptr;
    delete m_pComposite;
    m_pComposite = nullptr;
}

void PictureCompositor::SetSelection(int index)
{
    m_nSelection = (index >= 0 && index < kChoiceCount) ? index : kChoiceAuto;
    m_nLastKind = -1;
}

void PictureCompositor::UpdatePicture(const JoystickState &state)
{
    const DWORD mask = HighlightMask(state);
    const LONG kind = ControllerKind(state);
    const bool kindChanged = kind != m_nLastKind;

    if (kindChanged) {
        DeletePictures();
        const PictureSet set = ChoosePictureSet(kind, m_nSelection);
        m_pNormal = NewPicture(kPictureWidth, kPictureHeight, 24);
        m_pHighlighted = NewPicture(kPictureWidth, kPictureHeight, 24);
        m_pMap = NewPicture(kPictureWidth, kPictureHeight, 8);
        if (m_pNormal) m_pNormal->LoadCompressed(m_hResources, set.normal);
        if (m_pHighlighted) m_pHighlighted->LoadCompressed(m_hResources, set.highlighted);
        if (m_pMap) m_pMap->LoadCompressed(m_hResources, set.map);
        const int width = m_pNormal ? m_pNormal->Width() : kPictureWidth;
        const int height = m_pNormal ? m_pNormal->Height() : kPictureHeight;
        m_pComposite = NewPicture(width > 0 ? width : kPictureWidth, height > 0 ? height : kPictureHeight, 24);
        ++m_cSetLoads;
    }

    if (!IsControllerPresent(state)) {
        if (m_pComposite) m_pComposite->Fill(kPictureBackground);
        ++m_cBlanks;
        // The blank is not a composition: once a pad is back the picture
        // must be composed even if kind and mask read as before (an 0xFF
        // identification byte followed by 0xF0 keeps kind 15).
        m_dwLastMask = 0xFFFFFFFF;
    } else {
        if (mask != m_dwLastMask || kindChanged) {
            if (m_pComposite) m_pComposite->Compose(m_pNormal, m_pHighlighted, m_pMap, mask);
            ++m_cCompositions;
        }
        m_dwLastMask = mask;
    }
    m_nLastKind = kind;
}
