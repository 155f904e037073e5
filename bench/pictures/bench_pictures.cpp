// Prints how long the Test page's picture work takes: one Compose of a
// 300 x 320 picture, one load of a picture set (three resources inflated),
// and one blank. Uses the artwork of tavrelusbcp.dll beside this program.
#include <windows.h>

#include <cstdio>
#include <string>

#include "testpage/compositor.h"
#include "testpage/dibpicture.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string BesideExe(const char *name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1) + name;
}

} // namespace

int main()
{
    HMODULE art = LoadLibraryExA(BesideExe("tavrelusbcp.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!art) {
        std::printf("tavrelusbcp.dll not found beside the program\n");
        return 1;
    }

    DibPicture normal(300, 320, 24), lit(300, 320, 24), map(300, 320, 8), out(300, 320, 24);
    normal.LoadCompressed(art, 149);
    lit.LoadCompressed(art, 148);
    map.LoadCompressed(art, 150);

    const int composeRuns = 500;
    double t0 = Now();
    for (int i = 0; i < composeRuns; ++i)
        out.Compose(&normal, &lit, &map, (i & 1) ? 0x00F0FFFFu : 0x00000001u);
    const double compose = (Now() - t0) / composeRuns;

    const int fillRuns = 500;
    t0 = Now();
    for (int i = 0; i < fillRuns; ++i) out.Fill(kPictureBackground);
    const double fill = (Now() - t0) / fillRuns;

    // A set load as the compositor does it: three pictures made and inflated.
    const int loadRuns = 100;
    t0 = Now();
    for (int i = 0; i < loadRuns; ++i) {
        DibPicture n(300, 320, 24), h(300, 320, 24), m(300, 320, 8);
        n.LoadCompressed(art, 149);
        h.LoadCompressed(art, 148);
        m.LoadCompressed(art, 150);
    }
    const double load = (Now() - t0) / loadRuns;

    // The whole kind change through the compositor: delete, load, compose.
    PictureCompositor compositor(art);
    JoystickState a = {}, b = {};
    a.A1 = a.A2 = a.A3 = a.A4 = b.A1 = b.A2 = b.A3 = b.A4 = 32896;
    a.Type = 0x70;
    b.Type = 0x40;
    const int switchRuns = 100;
    t0 = Now();
    for (int i = 0; i < switchRuns; ++i) compositor.UpdatePicture((i & 1) ? a : b);
    const double change = (Now() - t0) / switchRuns;

    std::printf("Compose 300x320 (96000 pixels): %8.3f ms  (%d runs)\n", compose * 1e3, composeRuns);
    std::printf("Fill 300x320:                   %8.3f ms  (%d runs)\n", fill * 1e3, fillRuns);
    std::printf("Load one picture set (3 x inflate, 672000 bytes): %8.3f ms  (%d runs)\n", load * 1e3, loadRuns);
    std::printf("UpdatePicture on a kind change (reload + compose): %8.3f ms  (%d runs)\n", change * 1e3, switchRuns);
    FreeLibrary(art);
    return 0;
}
