#include "testpage/dibpicture.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace {

// Larger pictures than this are a caller's mistake, not something to ask
// the platform for; it also keeps stride * height far from overflowing.
const uint64_t kMaxBufferBytes = 64u * 1024u * 1024u;

uint64_t StrideFor(int width, int bitsPerPixel)
{
    const uint64_t bytesPerPixel = (static_cast<uint64_t>(bitsPerPixel) + 7) / 8;
    return (static_cast<uint64_t>(width) * bytesPerPixel + 3) & ~static_cast<uint64_t>(3);
}

} // namespace

int InflateInto(BYTE *dest, size_t capacity, const void *source, size_t sourceLength,
                size_t *written)
{
    if (written) *written = 0;
    if (!dest || !source || capacity == 0 || sourceLength == 0) return Z_BUF_ERROR;
    // zlib counts in uLong, which is 32 bits on Windows even for 64-bit code.
    if (capacity > 0xFFFFFFFFu || sourceLength > 0xFFFFFFFFu) return Z_BUF_ERROR;
    // uncompress inflates straight into dest and stops at destLen, so a
    // stream that claims more, or breaks off, cannot reach past capacity.
    uLongf destLen = static_cast<uLongf>(capacity);
    int rc = uncompress(dest, &destLen, static_cast<const Bytef *>(source),
                        static_cast<uLong>(sourceLength));
    if (written) *written = destLen;
    return rc;
}

DibPicture::DibPicture()
    : m_pbHeaderBlock(nullptr), m_pHeader(nullptr), m_pColours(nullptr), m_hBitmap(nullptr),
      m_pbPixels(nullptr), m_nColours(0), m_hPalette(nullptr)
{
}

DibPicture::DibPicture(int width, int height, int bitsPerPixel, const RGBQUAD *colours,
                       int colourCount)
    : DibPicture()
{
    Create(width, height, bitsPerPixel, colours, colourCount);
}

DibPicture::~DibPicture() { Destroy(); }

void DibPicture::Destroy()
{
    if (m_hBitmap) DeleteObject(m_hBitmap);
    if (m_hPalette) DeleteObject(m_hPalette);
    delete[] m_pbHeaderBlock;
    m_pbHeaderBlock = nullptr;
    m_pHeader = nullptr;
    m_pColours = nullptr;
    m_hBitmap = nullptr;
    m_pbPixels = nullptr;
    m_nColours = 0;
    m_hPalette = nullptr;
}

bool DibPicture::Create(int width, int height, int bitsPerPixel, const RGBQUAD *colours,
                        int colourCount)
{
    Destroy();
    if (width <= 0 || height <= 0) return false;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    if (colourCount < 0 || colourCount > 256 || (colourCount > 0 && !colours)) return false;
    if (StrideFor(width, bitsPerPixel) * static_cast<uint64_t>(height) > kMaxBufferBytes)
        return false;

    // A paletted bitmap section reads a full colour table behind the header
    // even when the header says none is used; give it one so it never reads
    // past the block. The map is never drawn, so a grey ramp will do.
    int tableEntries = colourCount;
    if (bitsPerPixel <= 8 && tableEntries < (1 << bitsPerPixel)) tableEntries = 1 << bitsPerPixel;

    const size_t cb = sizeof(BITMAPINFOHEADER) + static_cast<size_t>(tableEntries) * sizeof(RGBQUAD);
    m_pbHeaderBlock = new (std::nothrow) BYTE[cb];
    if (!m_pbHeaderBlock) return false;
    std::memset(m_pbHeaderBlock, 0, cb);
    m_pHeader = reinterpret_cast<BITMAPINFOHEADER *>(m_pbHeaderBlock);
    m_pColours = reinterpret_cast<RGBQUAD *>(m_pbHeaderBlock + sizeof(BITMAPINFOHEADER));
    m_nColours = colourCount;

    m_pHeader->biSize = sizeof(BITMAPINFOHEADER);
    m_pHeader->biWidth = width;
    m_pHeader->biHeight = height; // positive: rows bottom-up
    m_pHeader->biPlanes = 1;
    m_pHeader->biBitCount = static_cast<WORD>(bitsPerPixel);
    m_pHeader->biCompression = BI_RGB;
    m_pHeader->biSizeImage = 0;
    m_pHeader->biXPelsPerMeter = 1000;
    m_pHeader->biYPelsPerMeter = 1000;
    m_pHeader->biClrUsed = 0;
    m_pHeader->biClrImportant = 0;

    if (colourCount > 0) {
        std::memcpy(m_pColours, colours, static_cast<size_t>(colourCount) * sizeof(RGBQUAD));
    } else {
        for (int i = 0; i < tableEntries; ++i) {
            BYTE v = static_cast<BYTE>(i * 255 / (tableEntries > 1 ? tableEntries - 1 : 1));
            m_pColours[i].rgbBlue = m_pColours[i].rgbGreen = m_pColours[i].rgbRed = v;
        }
    }

    void *bits = nullptr;
    m_hBitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(m_pHeader), DIB_RGB_COLORS,
                                 &bits, nullptr, 0);
    if (!m_hBitmap || !bits) {
        if (m_hBitmap) DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
        m_pbPixels = nullptr;
        return false;
    }
    m_pbPixels = static_cast<BYTE *>(bits);
    return true;
}

int DibPicture::Width() const { return m_pHeader ? m_pHeader->biWidth : 0; }

int DibPicture::Height() const { return m_pHeader ? m_pHeader->biHeight : 0; }

int DibPicture::BitsPerPixel() const { return m_pHeader ? m_pHeader->biBitCount : 0; }

int DibPicture::BytesPerPixel() const { return (BitsPerPixel() + 7) / 8; }

int DibPicture::Stride() const
{
    return m_pHeader ? static_cast<int>(StrideFor(Width(), BitsPerPixel())) : 0;
}

size_t DibPicture::BufferSize() const
{
    return static_cast<size_t>(Stride()) * static_cast<size_t>(Height());
}

void DibPicture::LoadCompressed(HMODULE module, int resource)
{
    HRSRC hrsrc = FindResourceA(module, MAKEINTRESOURCEA(resource),
                                MAKEINTRESOURCEA(kPictureResourceType));
    if (!hrsrc) return;
    if (!m_pbPixels) return;
    DWORD cbResource = SizeofResource(module, hrsrc);
    HGLOBAL hglobal = LoadResource(module, hrsrc);
    if (!hglobal) return;
    const void *data = LockResource(hglobal);
    if (data && cbResource > 0) {
        // Whatever a damaged stream managed to inflate stays; the rest of
        // the buffer keeps its old pixels.
        InflateInto(m_pbPixels, BufferSize(), data, cbResource);
    }
    FreeResource(hglobal);
}

void DibPicture::Blit(HDC dc, int x, int y)
{
    if (!m_hBitmap || !dc) return;

    if (!m_hPalette) {
        if (m_nColours > 0) {
            const size_t cb = sizeof(LOGPALETTE) + (m_nColours - 1) * sizeof(PALETTEENTRY);
            BYTE *block = new (std::nothrow) BYTE[cb];
            if (block) {
                LOGPALETTE *lp = reinterpret_cast<LOGPALETTE *>(block);
                lp->palVersion = 0x300;
                lp->palNumEntries = static_cast<WORD>(m_nColours);
                for (int i = 0; i < m_nColours; ++i) {
                    lp->palPalEntry[i].peRed = m_pColours[i].rgbRed;
                    lp->palPalEntry[i].peGreen = m_pColours[i].rgbGreen;
                    lp->palPalEntry[i].peBlue = m_pColours[i].rgbBlue;
                    lp->palPalEntry[i].peFlags = 0;
                }
                m_hPalette = CreatePalette(lp);
                delete[] block;
            }
        } else {
            HDC screen = GetWindowDC(nullptr);
            if (screen) {
                m_hPalette = CreateHalftonePalette(screen);
                ReleaseDC(nullptr, screen);
            }
        }
    }

    HPALETTE previousPalette = nullptr;
    bool paletteSelected = false;
    if (m_hPalette) {
        previousPalette = SelectPalette(dc, m_hPalette, FALSE);
        RealizePalette(dc);
        paletteSelected = true;
    }

    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        HGDIOBJ previousBitmap = SelectObject(memory, m_hBitmap);
        BitBlt(dc, x, y, Width(), Height(), memory, 0, 0, SRCCOPY);
        SelectObject(memory, previousBitmap);
        DeleteDC(memory);
    }

    if (paletteSelected && previousPalette) SelectPalette(dc, previousPalette, TRUE);
}

void DibPicture::Compose(const DibPicture *normal, const DibPicture *highlighted,
                         const DibPicture *map, DWORD mask)
{
    if (!normal || !highlighted || !map) return;
    if (!m_pbPixels || !normal->m_pbPixels || !highlighted->m_pbPixels || !map->m_pbPixels) return;
    // Sets from different artwork, or a map of the wrong depth, would walk
    // off the end of the smaller buffer; show nothing new rather than that.
    const int width = Width(), height = Height();
    const DibPicture *all[3] = {normal, highlighted, map};
    for (const DibPicture *p : all)
        if (p->Width() != width || p->Height() != height) return;
    if (BytesPerPixel() < 3 || normal->BytesPerPixel() < 3 || highlighted->BytesPerPixel() < 3 ||
        map->BytesPerPixel() < 1)
        return;

    // Element 25 is artwork that never lights, whatever the caller asks.
    mask &= ~(1u << 24);

    PixelCursor dst(*this), nrm(*normal), hil(*highlighted), elm(*map);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            const unsigned e = *elm.Pixel();
            const BYTE *src = (e >= 1 && e <= 32 && (mask & (1u << (e - 1)))) ? hil.Pixel() : nrm.Pixel();
            BYTE *d = dst.Pixel();
            d[0] = src[0];
            d[1] = src[1];
            d[2] = src[2];
            dst.NextPixel();
            nrm.NextPixel();
            hil.NextPixel();
            elm.NextPixel();
        }
        dst.NextRow();
        nrm.NextRow();
        hil.NextRow();
        elm.NextRow();
    }
}

void DibPicture::Fill(DWORD colour)
{
    if (!m_pbPixels || BytesPerPixel() < 3) return;
    const BYTE red = static_cast<BYTE>(colour & 0xFF);
    const BYTE green = static_cast<BYTE>((colour >> 8) & 0xFF);
    const BYTE blue = static_cast<BYTE>((colour >> 16) & 0xFF);
    PixelCursor cur(*this);
    const int width = Width(), height = Height();
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            BYTE *p = cur.Pixel();
            p[0] = blue;
            p[1] = green;
            p[2] = red;
            cur.NextPixel();
        }
        cur.NextRow();
    }
}
