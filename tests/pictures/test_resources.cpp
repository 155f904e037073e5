// The artwork as built into the control-panel server.
#include <gtest/gtest.h>
#include <zlib.h>

#include <set>
#include <vector>

#include "fixture.h"
#include "testpage/dibpicture.h"

namespace {

struct Expected {
    int number;
    bool map;
    std::set<int> elements; // map only
};

std::set<int> Range(std::initializer_list<std::pair<int, int>> spans)
{
    std::set<int> s;
    for (auto sp : spans)
        for (int e = sp.first; e <= sp.second; ++e) s.insert(e);
    return s;
}

std::vector<Expected> AllResources()
{
    const struct {
        int h, n, m;
        std::set<int> elements;
    } sets[] = {
        {145, 146, 147, Range({{1, 10}, {13, 16}})},
        {148, 149, 150, Range({{1, 24}})},
        {151, 152, 153, Range({{1, 10}, {13, 16}, {18, 18}, {22, 22}})},
        {154, 155, 156, Range({{1, 8}, {10, 10}, {13, 16}, {18, 18}, {22, 22}})},
        {162, 163, 164, Range({{1, 16}, {18, 19}, {22, 23}, {25, 25}})},
        {165, 166, 167, Range({{2, 3}, {9, 10}, {13, 16}, {25, 25}})},
        {168, 169, 170, Range({{1, 25}})},
        {171, 173, 172, Range({{1, 11}, {17, 19}, {21, 23}})},
    };
    std::vector<Expected> all;
    for (const auto &s : sets) {
        all.push_back({s.h, false, {}});
        all.push_back({s.n, false, {}});
        all.push_back({s.m, true, s.elements});
    }
    return all;
}

class BuiltArtwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_module = LoadLibraryExA(fixture::BesideExe("tavrelusbcp.dll").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, m_module);
    }
    void TearDown() override
    {
        if (m_module) FreeLibrary(m_module);
    }
    HMODULE m_module = nullptr;
};

TEST_F(BuiltArtwork, EveryResourceIsOneUsEnglishZlibStreamOfTheRightSize)
{
    for (const Expected &x : AllResources()) {
        HRSRC r = FindResourceExA(m_module, MAKEINTRESOURCEA(kPictureResourceType), MAKEINTRESOURCEA(x.number),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE(nullptr, r) << x.number;
        const DWORD cb = SizeofResource(m_module, r);
        const BYTE *z = static_cast<const BYTE *>(LockResource(LoadResource(m_module, r)));
        ASSERT_NE(nullptr, z);
        ASSERT_GT(cb, 6u);
        EXPECT_EQ(0x78, z[0]) << x.number;
        EXPECT_EQ(0x9C, z[1]) << x.number;

        // One byte of room more than needed: a longer stream would show.
        const size_t expected = x.map ? 96000 : 288000;
        std::vector<BYTE> out(expected + 1);
        size_t written = 0;
        EXPECT_EQ(Z_OK, InflateInto(out.data(), out.size(), z, cb, &written)) << x.number;
        EXPECT_EQ(expected, written) << x.number;
        if (x.map) {
            std::set<int> seen;
            for (size_t k = 0; k < expected; ++k) seen.insert(out[k]);
            seen.erase(0);
            EXPECT_EQ(x.elements, seen) << "elements of map " << x.number;
        }
    }
}

} // namespace
