// tavrelsim: plays a converter with a pad plugged in, on a named pipe that
// the control panel and the effect driver open as the converter's device
// path (point the fake DirectInput at it with TAVREL_FAKEDI_JOYSTICKS), and
// prints every motor report they send.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/doubles/simconverter.h"
#include "tests/doubles/simpad.h"

namespace {

const char kUsage[] =
    "Usage: tavrelsim [options]\n"
    "\n"
    "Serves a simulated converter on a named pipe: the pipe takes the place of\n"
    "the converter's HID device path. Readers get 8-byte input reports, writers\n"
    "send 5-byte output reports, and each output report is printed as\n"
    "  t=1234ms  active=1 shock=0 rumble=225  [00 01 00 00 E1]\n"
    "\n"
    "Options:\n"
    "  --pipe NAME     pipe to serve (default tavrelsim, i.e. \\\\.\\pipe\\tavrelsim;\n"
    "                  a name starting with \\\\ is taken as the full path)\n"
    "  --kind KIND     pad in the converter (default twostick):\n"
    "                    twostick  identification 0x70 (kind 7)\n"
    "                    digital   0x40 (kind 4)\n"
    "                    dial      0xE0 (kind 14)\n"
    "                    twist     0x20 (kind 2)\n"
    "                    fishing   0x80 (kind 8)\n"
    "                    wheel     0x10 (kind 1)  \\ these pads have no kind of\n"
    "                    dance     0x30 (kind 3)   > their own in the panel: it\n"
    "                    hori      0x50 (kind 5)  /  shows them as a two-stick pad\n"
    "                                               unless chosen under \"Type:\"\n"
    "                    none      0xFF (no pad plugged in)\n"
    "  --animate       walk a pressed button through all sixteen, sweep the\n"
    "                  axes, and pull the pad out for a moment (0xFF) every\n"
    "                  10 s; a step every 250 ms\n"
    "  --script FILE   play input reports from FILE instead; each line is\n"
    "                    <ms> <8 hex bytes>   send that report at <ms> after start\n"
    "                    <ms> unplug          pull the converter out of USB: open\n"
    "                                         handles break, opens fail\n"
    "                    <ms> replug          put it back\n"
    "                  (<ms> may be left out before unplug/replug: at once after\n"
    "                  the previous line; '#' starts a comment)\n"
    "  --repeat MS     send the latest input report again every MS ms, as a pad\n"
    "                  that reports its state periodically (default 100; 0: only\n"
    "                  on change). New connections get the latest report at once.\n"
    "  --seconds N     stop after N seconds (default: run until Ctrl+C)\n"
    "  --quiet         print no motor reports, only the summary at the end\n"
    "  --help          this text\n"
    "\n"
    "Example, with the fake dinput.dll beside the host program:\n"
    "  set TAVREL_FAKEDI_JOYSTICKS=0=\\\\.\\pipe\\tavrelsim\n"
    "  tavrelsim --kind dial --animate\n"
    "\n"
    "Exit status: 0 after a normal end, 1 when the pipe cannot be served,\n"
    "2 on a bad option or script.\n";

HANDLE g_quit;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    SetEvent(g_quit);
    return TRUE;
}

struct ScriptEvent {
    enum Type { Report, Unplug, Replug } type;
    unsigned long ms;
    uint8_t bytes[8];
};

std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool LoadScript(const char *file, std::vector<ScriptEvent> *events)
{
    FILE *f = fopen(file, "r");
    if (!f) {
        fprintf(stderr, "tavrelsim: cannot open script %s\n", file);
        return false;
    }
    char line[512];
    int lineNo = 0;
    unsigned long last = 0;
    bool ok = true;
    while (ok && fgets(line, sizeof line, f)) {
        ++lineNo;
        std::string s(line);
        size_t hash = s.find('#');
        if (hash != std::string::npos) s.resize(hash);
        s = Trim(s);
        if (s.empty()) continue;
        ScriptEvent e = {};
        e.ms = last;
        std::string rest = s;
        if (isdigit((unsigned char)s[0])) {
            char *end = nullptr;
            e.ms = strtoul(s.c_str(), &end, 10);
            rest = Trim(end);
        }
        if (rest == "unplug") {
            e.type = ScriptEvent::Unplug;
        } else if (rest == "replug") {
            e.type = ScriptEvent::Replug;
        } else if (rest.size() && ParseHexBytes(rest, e.bytes, 8) && s != rest) {
            e.type = ScriptEvent::Report;
        } else {
            fprintf(stderr, "tavrelsim: %s:%d: expected '<ms> <8 hex bytes>', '<ms> unplug' or '<ms> replug'\n",
                    file, lineNo);
            ok = false;
            break;
        }
        if (e.ms < last) {
            fprintf(stderr, "tavrelsim: %s:%d: time %lu ms is before the previous line's %lu ms\n", file, lineNo,
                    e.ms, last);
            ok = false;
            break;
        }
        last = e.ms;
        events->push_back(e);
    }
    fclose(f);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    std::string pipe = "tavrelsim";
    PadKind kind = PadKind::TwoStick;
    const char *script = nullptr;
    bool animate = false, quiet = false;
    long seconds = -1;
    long repeatMs = 100;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h" || a == "/?") {
            fputs(kUsage, stdout);
            return 0;
        } else if (a == "--pipe" && hasValue) {
            pipe = argv[++i];
        } else if (a == "--kind" && hasValue) {
            if (!ParsePadKind(argv[++i], &kind)) {
                fprintf(stderr, "tavrelsim: unknown kind '%s' (see --help)\n", argv[i]);
                return 2;
            }
        } else if (a == "--script" && hasValue) {
            script = argv[++i];
        } else if (a == "--animate") {
            animate = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if ((a == "--seconds" || a == "--repeat") && hasValue) {
            char *end = nullptr;
            long v = strtol(argv[++i], &end, 10);
            if (*end || v < 0) {
                fprintf(stderr, "tavrelsim: %s needs a number of %s\n", a.c_str(),
                        a == "--seconds" ? "seconds" : "milliseconds");
                return 2;
            }
            (a == "--seconds" ? seconds : repeatMs) = v;
        } else {
            fprintf(stderr, "tavrelsim: unknown option or missing value: %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (script && animate) {
        fprintf(stderr, "tavrelsim: use --script or --animate, not both\n");
        return 2;
    }
    std::vector<ScriptEvent> events;
    if (script && !LoadScript(script, &events)) return 2;

    std::string path = pipe.compare(0, 2, "\\\\") == 0 ? pipe : "\\\\.\\pipe\\" + pipe;
    std::wstring wpath(path.begin(), path.end());
    SimConverter sim(wpath);
    sim.SetReplayToNewClients(true);
    sim.SetRepeatInterval((DWORD)repeatMs);
    if (!sim.Start()) {
        fprintf(stderr, "tavrelsim: cannot serve %s (is another simulator serving it?)\n", path.c_str());
        return 1;
    }
    g_quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

    uint8_t report[8];
    MakeInputReport(kind, PadState(), report);
    sim.SendInput(report);
    printf("tavrelsim: serving %s with a %s pad (identification 0x%02X)%s; Ctrl+C ends\n", path.c_str(),
           PadKindName(kind), PadIdentification(kind),
           animate ? ", animated" : script ? ", playing the script" : "");
    printf("tavrelsim: for the fake DirectInput: TAVREL_FAKEDI_JOYSTICKS=0=%s\n", path.c_str());
    fflush(stdout);

    DWORD start = GetTickCount();
    unsigned step = 0;
    size_t nextEvent = 0;
    int clients = 0;
    size_t reports = 0;
    for (;;) {
        bool quit = WaitForSingleObject(g_quit, 20) == WAIT_OBJECT_0;
        unsigned long now = GetTickCount() - start;
        if (seconds >= 0 && now >= (unsigned long)seconds * 1000) quit = true;

        if (animate && now >= (unsigned long)step * kAnimationStepMs) {
            AnimationFrame(kind, step++, report);
            sim.SendInput(report);
        }
        while (nextEvent < events.size() && events[nextEvent].ms <= now) {
            const ScriptEvent &e = events[nextEvent++];
            if (e.type == ScriptEvent::Report) {
                sim.SendInput(e.bytes);
            } else {
                sim.SetUnplugged(e.type == ScriptEvent::Unplug);
                if (!quiet)
                    printf("t=%lums  converter %s\n", now, e.type == ScriptEvent::Unplug ? "unplugged" : "plugged in");
            }
        }

        for (const SimOutput &o : sim.TakeOutputs()) {
            ++reports;
            if (!quiet) printf("%s\n", DescribeOutputReport(o.tickMs - start, o.bytes.data(), o.bytes.size()).c_str());
        }
        int c = sim.ClientCount();
        if (c != clients && !quiet) printf("t=%lums  open handles: %d\n", now, c);
        clients = c;
        fflush(stdout);
        if (quit) break;
    }
    int connections = sim.TotalConnections();
    sim.Stop();
    printf("tavrelsim: %u output reports from %d connections\n", (unsigned)reports, connections);
    return 0;
}
