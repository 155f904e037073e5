// The two servers as a host sees them: files that load, export exactly the
// two COM entry points by plain name and import nothing but Windows.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::string ExeDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// A PE image read from disk, with the RVA-to-file-offset mapping needed to
// walk its export and import directories.
struct PeFile {
    std::vector<unsigned char> bytes;
    const IMAGE_NT_HEADERS *nt = nullptr;

    explicit PeFile(const std::string &path)
    {
        std::ifstream f(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), {});
        if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
        nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(bytes.data() + dos->e_lfanew);
    }
    const IMAGE_SECTION_HEADER *Sections() const { return IMAGE_FIRST_SECTION(nt); }
    const unsigned char *At(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER *s = Sections();
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s) {
            if (rva >= s->VirtualAddress && rva < s->VirtualAddress + s->Misc.VirtualSize)
                return bytes.data() + s->PointerToRawData + (rva - s->VirtualAddress);
        }
        return nullptr;
    }
    const IMAGE_DATA_DIRECTORY &Dir(int i) const { return nt->OptionalHeader.DataDirectory[i]; }

    std::vector<std::string> Exports() const
    {
        std::vector<std::string> names;
        const auto &d = Dir(IMAGE_DIRECTORY_ENTRY_EXPORT);
        if (!d.VirtualAddress) return names;
        auto ed = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(At(d.VirtualAddress));
        auto rvas = reinterpret_cast<const DWORD *>(At(ed->AddressOfNames));
        for (DWORD i = 0; i < ed->NumberOfNames; ++i)
            names.emplace_back(reinterpret_cast<const char *>(At(rvas[i])));
        return names;
    }
    std::vector<std::string> Imports() const
    {
        std::vector<std::string> names;
        const auto &d = Dir(IMAGE_DIRECTORY_ENTRY_IMPORT);
        if (!d.VirtualAddress) return names;
        for (auto id = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(At(d.VirtualAddress));
             id->Name; ++id) {
            std::string n(reinterpret_cast<const char *>(At(id->Name)));
            std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return (char)std::tolower(c); });
            names.push_back(n);
        }
        return names;
    }
};

const std::set<std::string> kSystemDlls = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll",
    "msvcrt.dll",   "dinput.dll", "comctl32.dll",
};

class ModuleFiles : public ::testing::TestWithParam<const char *> {};

TEST_P(ModuleFiles, ExportsExactlyTheTwoEntryPointsByPlainName)
{
    PeFile pe(ExeDir() + GetParam());
    ASSERT_NE(pe.nt, nullptr);
    auto e = pe.Exports();
    std::sort(e.begin(), e.end());
    EXPECT_EQ(e, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject"}));
}

TEST_P(ModuleFiles, ImportsOnlySystemDlls)
{
    PeFile pe(ExeDir() + GetParam());
    ASSERT_NE(pe.nt, nullptr);
    for (const auto &n : pe.Imports())
        EXPECT_TRUE(kSystemDlls.count(n)) << GetParam() << " imports " << n;
}

TEST_P(ModuleFiles, LoadsAndResolvesBothExports)
{
    HMODULE h = LoadLibraryA((ExeDir() + GetParam()).c_str());
    ASSERT_NE(h, nullptr) << "error " << GetLastError();
    EXPECT_NE(GetProcAddress(h, "DllGetClassObject"), nullptr);
    EXPECT_NE(GetProcAddress(h, "DllCanUnloadNow"), nullptr);
    FreeLibrary(h);
}

INSTANTIATE_TEST_SUITE_P(Both, ModuleFiles, ::testing::Values("tavrelusbcp.dll", "tavrelusbff.dll"));

} // namespace
