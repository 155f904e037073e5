#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "fixture.h"
#include "testpage/dibpicture.h"

namespace {

TEST(DibPicture, StrideAndUnusableParameters)
{
    DibPicture picture(300, 320, 24), map(300, 320, 8), odd(301, 2, 24);
    ASSERT_TRUE(picture.Pixels() && map.Pixels() && odd.Pixels());
    EXPECT_EQ(900, picture.Stride());
    EXPECT_EQ(288000u, picture.BufferSize());
    EXPECT_EQ(300, map.Stride());
    EXPECT_EQ(96000u, map.BufferSize());
    EXPECT_EQ(904, odd.Stride());
    EXPECT_EQ(320, picture.Header()->biHeight); // positive: bottom-up

    // A picture without pixels is skipped by everything, never dereferenced.
    const int bad[][3] = {{0, 10, 24}, {-5, 10, 24}, {10, -5, 24}, {10, 10, 7}, {100000, 100000, 24}};
    for (const auto &b : bad) {
        DibPicture p(b[0], b[1], b[2]);
        EXPECT_EQ(nullptr, p.Pixels()) << b[0] << "x" << b[1] << "@" << b[2];
        p.Fill(0x123456);
        p.LoadCompressed(fixture::Module(), 149);
        p.Compose(&picture, &picture, &map, 0xFFFFFFFF);
        HDC dc = CreateCompatibleDC(nullptr);
        p.Blit(dc, 0, 0);
        DeleteDC(dc);
        picture.Compose(&p, &picture, &map, 0xFFFFFFFF);
    }
}

TEST(DibPicture, FillWritesBlueGreenRedAndLeavesRowPadding)
{
    DibPicture p(301, 3, 24);
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
    DibPicture map(10, 10, 8); // not a colour picture: left alone
    std::memset(map.Pixels(), 7, map.BufferSize());
    map.Fill(0x00FFFFFF);
    EXPECT_EQ(7, map.Pixels()[99]);
}

// Odd width: every picture has row padding and the map's stride differs
// from the pictures', so each cursor must step by its own.
TEST(DibPicture, ComposeTakesHighlightedExactlyWhereTheMapNamesALitElement)
{
    const int w = 301, h = 7;
    DibPicture normal(w, h, 24), lit(w, h, 24), map(w, h, 8), out(w, h, 24);
    normal.Fill(RGB(3, 2, 1));
    lit.Fill(RGB(9, 8, 7));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) map.Pixels()[y * map.Stride() + x] = static_cast<BYTE>((y * w + x) % 40);

    for (DWORD mask : {0u, 0xFFFFFFFFu, 1u << 1, (1u << 16) | (1u << 23), 1u << 24, 0x80000000u}) {
        std::memset(out.Pixels(), 0x55, out.BufferSize());
        out.Compose(&normal, &lit, &map, mask);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned e = map.Pixels()[y * map.Stride() + x];
                const bool on = e >= 1 && e <= 32 && e != 25 && (mask & (1u << (e - 1)));
                const BYTE *d = out.Pixels() + y * out.Stride() + 3 * x;
                ASSERT_EQ(on ? 7 : 1, d[0]) << "mask " << std::hex << mask << std::dec << " element " << e;
                ASSERT_EQ(on ? 8 : 2, d[1]);
                ASSERT_EQ(on ? 9 : 3, d[2]);
            }
            EXPECT_EQ(0x55, out.Pixels()[y * out.Stride() + 903]) << "padding";
        }
    }

    // Pictures of another size or depth would walk off a smaller buffer.
    DibPicture shortMap(w, 3, 8), flatNormal(w, h, 8);
    out.Fill(0x000000FF);
    out.Compose(&normal, &lit, &shortMap, 0xFFFFFFFF);
    out.Compose(&flatNormal, &lit, &map, 0xFFFFFFFF);
    EXPECT_EQ(0xFF, out.Pixels()[out.BufferSize() - 2]);
}

// The buffer's last byte sits just before a page that faults on any access.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size)
    {
        m_span = (size + 4095) / 4096 * 4096 + 4096;
        m_base = static_cast<BYTE *>(VirtualAlloc(nullptr, m_span, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(m_base + m_span - 4096, 4096, PAGE_NOACCESS, &old);
        m_data = m_base + m_span - 4096 - size;
        std::memset(m_data, 0xCC, size);
    }
    ~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }
    BYTE *data() { return m_data; }

private:
    size_t m_span;
    BYTE *m_base, *m_data;
};

std::vector<BYTE> Deflate(const BYTE *raw, size_t n)
{
    uLongf cb = compressBound(static_cast<uLong>(n));
    std::vector<BYTE> z(cb);
    compress2(z.data(), &cb, raw, static_cast<uLong>(n), 6);
    z.resize(cb);
    return z;
}

TEST(Inflate, BrokenStreamsStayInsideTheBufferAndKeepWhatInflated)
{
    const size_t cap = 96000;
    std::vector<BYTE> raw(cap + 50000);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<BYTE>((i * 7) ^ (i >> 8));

    {
        const std::vector<BYTE> over = Deflate(raw.data(), raw.size()); // more than fits
        GuardedBuffer buf(cap);
        size_t written = 0;
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, over.data(), over.size(), &written));
        EXPECT_EQ(cap, written);
        EXPECT_EQ(0, std::memcmp(buf.data(), raw.data(), cap));
    }
    {
        std::vector<BYTE> cut = Deflate(raw.data(), cap);
        cut.resize(cut.size() / 2);
        GuardedBuffer buf(cap);
        size_t written = 0;
        EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, cut.data(), cut.size(), &written));
        ASSERT_GT(written, 0u);
        ASSERT_LT(written, cap);
        EXPECT_EQ(0, std::memcmp(buf.data(), raw.data(), written));
        for (size_t i = written; i < cap; ++i) ASSERT_EQ(0xCC, buf.data()[i]) << i;
    }
    std::vector<BYTE> garbage(4096, 0xFF);
    garbage[0] = 0x78;
    garbage[1] = 0x9C;
    GuardedBuffer buf(cap);
    EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, garbage.data(), garbage.size()));
    EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, garbage.data(), 0));
    EXPECT_NE(Z_OK, InflateInto(buf.data(), cap, nullptr, 10));
}

TEST(LoadCompressed, InflatesBottomUpRowsAndLeavesWhatAStreamDoesNotReach)
{
    ASSERT_NE(nullptr, fixture::Module()) << "picfixture.dll beside the test";
    DibPicture p(300, 320, 24), map(300, 320, 8);
    p.LoadCompressed(fixture::Module(), 149);
    map.LoadCompressed(fixture::Module(), 150);
    EXPECT_TRUE(fixture::HoldsPicture(p, 149));
    for (int k = 0; k < fixture::kPixels; ++k) ASSERT_EQ(fixture::MapByte(k), map.Pixels()[k]) << k;
    // Byte 0 is the bottom-left pixel as GDI sees it.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, p.Bitmap());
    EXPECT_EQ(RGB(0, 0, 149), GetPixel(dc, 0, 319));
    SelectObject(dc, old);
    DeleteDC(dc);

    p.Fill(0x00332211);
    p.LoadCompressed(fixture::Module(), 999); // missing
    p.LoadCompressed(nullptr, 999);
    for (size_t i = 0; i < p.BufferSize(); i += 3) ASSERT_EQ(0x33, p.Pixels()[i]);

    p.LoadCompressed(fixture::Module(), 193); // valid, 1000 bytes only
    for (size_t i = 0; i < p.BufferSize(); ++i)
        ASSERT_EQ(i < 1000 ? fixture::PictureByte(193, int(i / 3), int(i % 3)) : i % 3 == 0 ? 0x33 : i % 3 == 1 ? 0x22 : 0x11,
                  p.Pixels()[i]) << i;

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
    map.LoadCompressed(fixture::Module(), 149); // picture-sized stream into a map
    EXPECT_EQ(149, map.Pixels()[0]);
}

TEST(DibPicture, BlitCopiesThePixelsAndMakesThePaletteOnce)
{
    DibPicture source(20, 10, 24), target(64, 64, 24);
    source.Fill(RGB(200, 100, 50));
    target.Fill(0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target.Bitmap());
    HGDIOBJ ownPalette = GetCurrentObject(dc, OBJ_PAL);
    source.Blit(dc, 5, 7);
    HPALETTE first = source.Palette();
    EXPECT_NE(nullptr, first);
    source.Blit(dc, 30, 40);
    EXPECT_EQ(first, source.Palette());
    EXPECT_EQ(ownPalette, GetCurrentObject(dc, OBJ_PAL));
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 5, 7));
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 24, 16));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 25, 16));
    EXPECT_EQ(RGB(200, 100, 50), GetPixel(dc, 49, 49));
    SelectObject(dc, old);
    DeleteDC(dc);
}

} // namespace
