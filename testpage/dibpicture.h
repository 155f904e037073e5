// A bottom-up device-independent bitmap whose pixels we touch directly, and
// the cursor that walks them. Holds the pad pictures, the element maps and
// the composed picture of the Test page.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

// Type of the compressed picture and element-map resources.
const int kPictureResourceType = 100;

// Inflates one zlib stream into dest without ever writing more than
// capacity bytes. A damaged or short stream leaves what inflated so far and
// the rest of dest untouched. Returns the zlib result (Z_OK when the stream
// filled exactly what it held); *written, when given, gets the byte count.
int InflateInto(BYTE *dest, size_t capacity, const void *source, size_t sourceLength,
                size_t *written = nullptr);

class DibPicture {
public:
    DibPicture();
    // Same as Create on a fresh object.
    DibPicture(int width, int height, int bitsPerPixel, const RGBQUAD *colours = nullptr,
               int colourCount = 0);
    virtual ~DibPicture();

    DibPicture(const DibPicture &) = delete;
    DibPicture &operator=(const DibPicture &) = delete;

    // Builds the header and the bitmap section; drops anything made before.
    // False when the parameters are unusable or the platform refused the
    // bitmap: the picture then has no pixels and every operation skips it.
    bool Create(int width, int height, int bitsPerPixel, const RGBQUAD *colours = nullptr,
                int colourCount = 0);

    int Width() const;
    int Height() const;
    int BitsPerPixel() const;
    int BytesPerPixel() const;
    int Stride() const;        // rows padded to 4 bytes
    size_t BufferSize() const; // Stride() * Height()
    BYTE *Pixels() const { return m_pbPixels; }
    HBITMAP Bitmap() const { return m_hBitmap; }
    HPALETTE Palette() const { return m_hPalette; }
    int ColourCount() const { return m_nColours; }
    const BITMAPINFOHEADER *Header() const { return m_pHeader; }

    // Inflates resource (type 100) of module into the pixels. A missing
    // resource changes nothing; a damaged one leaves what inflated.
    void LoadCompressed(HMODULE module, int resource);

    // Copies the picture to (x, y) of dc, realising its palette (made on
    // the first call and kept) as foreground palette for the copy.
    void Blit(HDC dc, int x, int y);

    // This picture becomes normal, except where map names an element whose
    // bit (element - 1) is set in mask: there it takes highlighted.
    // Element 25 (fixed artwork) and 0 (background) never light. Nothing
    // happens unless all four have pixels and matching sizes.
    void Compose(const DibPicture *normal, const DibPicture *highlighted, const DibPicture *map,
                 DWORD mask);

    // Every pixel becomes colour (0x00BBGGRR). Pictures of 24 bits or more.
    void Fill(DWORD colour);

private:
    void Destroy();

    BYTE *m_pbHeaderBlock;        // header + colour entries
    BITMAPINFOHEADER *m_pHeader;  // == m_pbHeaderBlock
    RGBQUAD *m_pColours;          // header + 40
    HBITMAP m_hBitmap;            // owns the pixel buffer
    BYTE *m_pbPixels;
    int m_nColours;               // entries given at creation
    HPALETTE m_hPalette;          // made by the first Blit
};

// Walks a picture's pixels in storage order: bottom row first, left to right.
class PixelCursor {
public:
    explicit PixelCursor(const DibPicture &picture)
        : m_pbPixel(picture.Pixels()), m_pbRow(picture.Pixels()), m_cbStride(picture.Stride()),
          m_cbPixel(picture.BytesPerPixel())
    {
    }

    BYTE *Pixel() const { return m_pbPixel; }
    void NextPixel() { m_pbPixel += m_cbPixel; }
    void NextRow()
    {
        m_pbRow += m_cbStride;
        m_pbPixel = m_pbRow;
    }

private:
    BYTE *m_pbPixel;
    BYTE *m_pbRow;
    int m_cbStride;
    int m_cbPixel;
};
