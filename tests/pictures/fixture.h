// What the synthetic resources of picfixture.dll hold (see
// make_fixture_pictures.py) and how the tests reach them.
#pragma once

#include <windows.h>

#include <string>

#include "testpage/dibpicture.h"

namespace fixture {

const int kPixels = 300 * 320;

// Picture resource n, pixel k, channel c (0 blue, 1 green, 2 red).
inline BYTE PictureByte(int n, int k, int c)
{
    switch (c) {
    case 0: return static_cast<BYTE>(n & 0xFF);
    case 1: return static_cast<BYTE>((k / 300) & 0xFF);
    default: return static_cast<BYTE>(k & 0xFF);
    }
}

inline BYTE MapByte(int k) { return static_cast<BYTE>(k % 26); }

// Full path of a file beside the test program.
inline std::string BesideExe(const char *name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return s.substr(0, slash + 1) + name;
}

// Loaded once, kept for the life of the test program.
inline HMODULE Module()
{
    static HMODULE module = LoadLibraryExA(BesideExe("picfixture.dll").c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

// True when every pixel of picture equals picture resource n.
inline bool HoldsPicture(const DibPicture &p, int n)
{
    const BYTE *b = p.Pixels();
    if (!b) return false;
    for (int k = 0; k < kPixels; ++k)
        for (int c = 0; c < 3; ++c)
            if (b[3 * k + c] != PictureByte(n, k, c)) return false;
    return true;
}

} // namespace fixture
