#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "fixture.h"
#include "testpage/dibpicture.h"

namespace {

TEST(DibPicture, GeometryAndHeaderOfThePictureSizesInUse)
{
    DibPicture picture(300, 320, 24);
    ASSERT_NE(nullptr, picture.Pixels());
    EXPECT_EQ(300, picture.Width());
    EXPECT_EQ(320, picture.Height());
    EXPECT_EQ(3, picture.BytesPerPixel());
    EXPECT_EQ(900, picture.Stride());
    EXPECT_EQ(288000u, picture.BufferSize());
    const BITMAPINFOHEADER *h = picture.Header();
    EXPECT_EQ(40u, h->biSize);
    EXPECT_EQ(320, h->biHeight); // positive: bottom-up
    EXPECT_EQ(1, h->biPlanes);
    EXPECT_EQ(24, h->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), h->biCompression);
    EXPECT_EQ(1000, h->biXPelsPerMeter);
    EXPECT_EQ(1000, h->biYPelsPerMeter);
    EXPECT_EQ(0u, h->biClrUsed);
    EXPECT_EQ(nullptr, picture.Palette());

    DibPicture map(300, 320, 8);
    ASSERT_NE(nullptr, map.Pixels());
    EXPECT_EQ(1, map.BytesPerPixel());
    EXPECT_EQ(300, map.Stride());
    EXPECT_EQ(96000u, map.BufferSize());
    EXPECT_EQ(0, map.ColourCount());

    DibPicture odd(301, 2, 24);
    EXPECT_EQ(904, odd.Stride());
}

TEST(DibPicture, UnusableParametersGiveAPictureEveryOperationSkips)
{
    const int bad[][3] = {{0, 10, 24}, {10, 0, 24}, {-5, 10, 24}, {10, -5, 24}, {10, 10, 7},
                          {100000, 100000, 24}};
    for (const auto &b : bad) {
        DibPicture p(b[0], b[1], b[2]);
        EXPECT_EQ(nullptr, p.Pixels()) << b[0] << "x" << b[1] << "@" << b[2];
        p.Fill(0x123456);
        p.LoadCompressed(fixture::Module(), 149);
        HDC dc = CreateCompatibleDC(nullptr);
        p.Blit(dc, 0, 0);
        DeleteDC(dc);
        EXPECT_EQ(nullptr, p.Palette());
    }
    DibPicture ok(4, 4, 24), map(4, 4, 8);
    DibPicture none;
    ok.Fill(0x010203);
    ok.Compose(&none, &ok, &map, 0xFFFFFFFF); // source without pixels: destination untouched
    EXPECT_EQ(0x01, ok.Pixels()[0]); // blue first
    none.Compose(&ok, &ok, &map, 0);
}

TEST(DibPicture, FillWritesBlueGreenRedAndLeavesRowPadding)
{
    DibPicture p(301, 3, 24);
    ASSERT_NE(nullptr, p.Pixels());
    BYTE *b = p.Pixels();
    std::memset(b, 0xAA, p.BufferSize());
    p.Fill(0x00FFD9D9);
    for (int row = 0; row < 3; ++row) {
        const BYTE *r = b + row * p.Stride();
        for (int x = 0; x < 301; ++x) {
            ASSERT_EQ(0xFF, r[3 * x]) << row << "," << x;
            ASSERT_EQ(0xD9, r[3 * x + 1]);
            ASSERT_EQ(0xD9, r[3 * x + 2]);
        }
        EXPECT_EQ(0xAA, r[903]) << "padding of row " << row;
    }

    DibPicture map(10, 10, 8); // a map is not a colour picture
    std::memset(map.Pixels(), 7, map.BufferSize());
    map.Fill(0x00FFFFFF);
    EXPECT_EQ(7, map.Pixels()[0]);
}

// Odd width so that every picture has row padding and the map's stride
// differs from the pictures': the walk must step each by its own.
TEST(DibPicture, ComposeTakesHighlightedExactlyWhereTheMapNamesALitElement)
{
    const int w = 301, h = 7;
    DibPicture normal(w, h, 24), lit(w, h, 24), map(w, h, 8), out(w, h, 24);
    ASSERT_TRUE(normal.Pixels() && lit.Pixels() && map.Pixels() && out.Pixels());
    normal.Fill(RGB(3, 2, 1));
    lit.Fill(RGB(9, 8, 7));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) map.Pixels()[y * map.Stride() + x] = static_cast<BYTE>((y * w + x) % 40);

    const DWORD masks[] = {0, 0xFFFFFFFF, 1u << 1, (1u << 16) | (1u << 23), 1u << 24, 0x80000000u};
    for (DWORD mask : masks) {
        std::memset(out.Pixels(), 0x55, out.BufferSize());
        out.Compose(&normal, &lit, &map, mask);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned e = map.Pixels()[y * map.Stride() + x];
                const bool on = e >= 1 && e <= 32 && e != 25 && (mask & (1u << (e - 1)));
                const BYTE *d = out.Pixels() + y * out.Stride() + 3 * x;
                ASSERT_EQ(on ? 7 : 1, d[0]) << "mask " << std::hex << mask << " e " << std::dec << e;
                ASSERT_EQ(on ? 8 : 2, d[1]);
                ASSERT_EQ(on ? 9 : 3, d[2]);
            }
            EXPECT_EQ(0x55, out.Pixels()[y * out.Stride() + 903]) << "padding";
        }
    }
}

TEST(DibPicture, ComposeRefusesPicturesOfAnotherSize)
{
    DibPicture normal(300, 320, 24), lit(300, 320, 24), smallMap(300, 100, 8), out(300, 320, 24);
    DibPicture map(300, 320, 8), wideOut(310, 320, 24), flatNormal(300, 320, 8);
    out.Fill(0x000000FF);
    out.Compose(&normal, &lit, &smallMap, 0xFFFFFFFF);
    out.Compose(&flatNormal, &lit, &map, 0xFFFFFFFF);
    EXPECT_EQ(0xFF, out.Pixels()[out.BufferSize() - 1]);
    wideOut.Fill(0x000000FF);
    wideOut.Compose(&normal, &lit, &map, 0);
    EXPECT_EQ(0xFF, wideOut.Pixels()[2]);
}

// A buffer whose last byte sits just before a page that faults on any
// access: writing one byte too many ends the test program.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : m_size(size)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        const size_t page = si.dwPageSize;
        m_span = (size + page - 1) / page * page + page;
        m_base = static_cast<BYTE *>(VirtualAlloc(nullptr, m_span, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(m_base + m_span - page, page, PAGE_NOACCESS, &old);
        m_data = m_base + m_span - page - size;
        std::memset(m_data, 0xCC, size);
    }
    ~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }
    BYTE *data() { return m_data; }
    size_t size() const { return m_size; }

private:
    size_t m_size, m_span;
    BYTE *m_base, *m_data;
};

std::vector<BYTE> Pattern(size_t n)
{
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>((i * 7) ^ (i >> 8));
    return v;
}

std::vector<BYTE> Deflate(const std::vector<BYTE> &raw)
{
    uLongf n = compressBound(static_cast<uLong>(raw.size()));
    std::vector<BYTE> z(n);
    EXPECT_EQ(Z_OK, compress2(z.data(), &n, raw.data(), static_cast<uLong>(raw.size()), 6));
    z.resize(n);
    return z;
}

TEST(Inflate, BrokenStreamsStayInsideTheBufferAndKeepWhatInflated)
{
    const size_t cap = 96000;
    const std::vector<BYTE> raw = Pattern(cap + 50000);
    const std::vector<BYTE> over = Deflate(raw); // claims more than fits

    {
        GuardedBuffer buf(cap);
        size_t written = 0;
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, over.data(), over.size(), &written));
        EXPECT_EQ(cap, written);
        EXPECT_EQ(0, std::memcmp(buf.data(), raw.data(), cap));
    }
    {
        const std::vector<BYTE> exact = Deflate(std::vector<BYTE>(raw.begin(), raw.begin() + cap));
        std::vector<BYTE> cut(exact.begin(), exact.begin() + exact.size() / 2);
        GuardedBuffer buf(cap);
        size_t written = 0;
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, cut.data(), cut.size(), &written));
        ASSERT_GT(written, 0u);
        ASSERT_LT(written, cap);
        EXPECT_EQ(0, std::memcmp(buf.data(), raw.data(), written));
        for (size_t i = written; i < cap; ++i) ASSERT_EQ(0xCC, buf.data()[i]) << i;
    }
    {
        std::vector<BYTE> garbage(4096, 0xFF);
        garbage[0] = 0x78;
        garbage[1] = 0x9C;
        GuardedBuffer buf(cap);
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, garbage.data(), garbage.size()));
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, garbage.data(), 0));
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, nullptr, 10));
    }
}

class LoadCompressed : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, fixture::Module()) << "picfixture.dll beside the test"; }
};

TEST_F(LoadCompressed, InflatesBottomUpPixelsAndMaps)
{
    DibPicture picture(300, 320, 24), map(300, 320, 8);
    picture.LoadCompressed(fixture::Module(), 149);
    map.LoadCompressed(fixture::Module(), 150);
    EXPECT_TRUE(fixture::HoldsPicture(picture, 149));
    for (int k = 0; k < fixture::kPixels; ++k) ASSERT_EQ(fixture::MapByte(k), map.Pixels()[k]) << k;

    // The first stored row is the bottom one: byte 0 is the blue of the
    // bottom-left pixel as GDI sees it.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.Bitmap());
    COLORREF bottomLeft = GetPixel(dc, 0, 319);
    COLORREF topRowSecond = GetPixel(dc, 1, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(RGB(fixture::PictureByte(149, 0, 2), fixture::PictureByte(149, 0, 1), 149), bottomLeft);
    const int k = 319 * 300 + 1;
    EXPECT_EQ(RGB(fixture::PictureByte(149, k, 2), fixture::PictureByte(149, k, 1), 149), topRowSecond);
}

TEST_F(LoadCompressed, MissingOrBrokenResourcesLeaveTheRestOfThePixels)
{
    DibPicture p(300, 320, 24);
    p.Fill(0x00332211);
    p.LoadCompressed(fixture::Module(), 999);
    p.LoadCompressed(nullptr, 999);
    for (size_t i = 0; i < p.BufferSize(); i += 3) ASSERT_EQ(0x33, p.Pixels()[i]); // blue first

    p.LoadCompressed(fixture::Module(), 193); // valid, 1000 bytes only
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(fixture::PictureByte(193, i / 3, i % 3), p.Pixels()[i]);
    for (size_t i = 1000; i < p.BufferSize(); ++i) ASSERT_EQ(i % 3 == 0 ? 0x33 : i % 3 == 1 ? 0x22 : 0x11, p.Pixels()[i]);

    p.Fill(0x00332211);
    p.LoadCompressed(fixture::Module(), 190); // breaks off half-way
    EXPECT_EQ(190, p.Pixels()[0]);
    EXPECT_EQ(0x11, p.Pixels()[p.BufferSize() - 1]);

    p.LoadCompressed(fixture::Module(), 192); // inflates past the buffer
    EXPECT_TRUE(fixture::HoldsPicture(p, 192));

    p.Fill(0x00332211);
    p.LoadCompressed(fixture::Module(), 191); // corrupted in the middle
    p.LoadCompressed(fixture::Module(), 194); // garbage after the header
    EXPECT_EQ(0x11, p.Pixels()[p.BufferSize() - 1]);

    DibPicture map(300, 320, 8); // a picture-sized stream into a map
    map.LoadCompressed(fixture::Module(), 149);
    EXPECT_EQ(149, map.Pixels()[0]);
}

TEST(DibPictureBlit, CopiesThePixelsAndMakesThePaletteOnce)
{
    DibPicture source(20, 10, 24);
    source.Fill(RGB(200, 100, 50));

    DibPicture target(64, 64, 24);
    target.Fill(0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target.Bitmap());
    source.Blit(dc, 5, 7);
    HPALETTE first = source.Palette();
    EXPECT_NE(nullptr, first);
    source.Blit(dc, 30, 40);
    EXPECT_EQ(first, source.Palette());
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 5, 7));
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 24, 16));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 25, 16));
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 49, 49));
    // The surface's own palette is back after each copy.
    EXPECT_NE(first, static_cast<HPALETTE>(GetCurrentObject(dc, OBJ_PAL)));
    SelectObject(dc, old);
    DeleteDC(dc);
}

TEST(DibPictureBlit, ColourTableGivesAPaletteOfItsEntries)
{
    RGBQUAD colours[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
    DibPicture p(8, 8, 8, colours, 2);
    ASSERT_NE(nullptr, p.Pixels());
    EXPECT_EQ(2, p.ColourCount());
    HDC dc = CreateCompatibleDC(nullptr);
    p.Blit(dc, 0, 0);
    DeleteDC(dc);
    ASSERT_NE(nullptr, p.Palette());
    PALETTEENTRY e[2] = {};
    ASSERT_EQ(2u, GetPaletteEntries(p.Palette(), 0, 2, e));
    EXPECT_EQ(30, e[0].peRed);
    EXPECT_EQ(20, e[0].peGreen);
    EXPECT_EQ(10, e[0].peBlue);
    EXPECT_EQ(60, e[1].peRed);
}

} // namespace
