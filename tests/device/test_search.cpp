// The device search from the sheet's joystick id to the converter's path and
// X-axis report id, and the shared open of a converter path.
#include <gtest/gtest.h>

#include <string>

#include "device/devicesearch.h"
#include "tests/device/fake_env.h"

namespace {

const HRESULT kInjected = static_cast<HRESULT>(0x80041234);
const char kKeptPath[] = "kept";
const DWORD kKeptReportId = 77;

class Search : public FakeDirectInputTest {
protected:
    void SetUp() override
    {
        FakeDirectInputTest::SetUp();
        m_pSheet = NewSheet();
        m_pSheet->SetID(5);
        strcpy(m_szPath, kKeptPath);
    }
    void TearDown() override
    {
        m_pSheet->Release();
        FakeDirectInputTest::TearDown();
    }
    // Nothing the search made may outlive it.
    void ExpectAllReleased() { EXPECT_EQ(FakeDI_LiveObjects(), m_liveBefore) << FakeLog(); }
    void ExpectUntouched()
    {
        EXPECT_STREQ(m_szPath, kKeptPath);
        EXPECT_EQ(m_nReportId, kKeptReportId);
    }

    CPropertySheetObject *m_pSheet = nullptr;
    char m_szPath[kDevicePathBytes];
    DWORD m_nReportId = kKeptReportId;
};

TEST_F(Search, FindsThePathAndTheXAxisReportId)
{
    FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-cpc-search", 0x0102);
    ASSERT_TRUE(FindDevices(m_pSheet, m_szPath, sizeof(m_szPath), &m_nReportId));
    EXPECT_STREQ(m_szPath, "\\\\.\\pipe\\tavrel-cpc-search");
    EXPECT_EQ(m_nReportId, 0x0102u);

    std::string log = FakeLog();
    EXPECT_NE(log.find("QueryInterface(IDirectInputDevice7A)"), std::string::npos) << log;
    // The device goes first, then the configuration, then DirectInput.
    size_t dev = log.rfind("Release(device)"), cfg = log.rfind("Release(joyconfig)"), di = log.rfind("Release(dinput)");
    EXPECT_TRUE(dev < cfg && cfg < di) << log;
    ExpectAllReleased();
    // The search uses a DirectInput of its own, not the sheet's.
    EXPECT_EQ(m_pSheet->m_pdi, nullptr);
}

TEST_F(Search, AnXAxisThatCannotBeDescribedStillFindsThePathWithReportIdZero)
{
    FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-cpc-noaxis", 0);
    ASSERT_TRUE(FindDevices(m_pSheet, m_szPath, sizeof(m_szPath), &m_nReportId));
    EXPECT_STREQ(m_szPath, "\\\\.\\pipe\\tavrel-cpc-noaxis");
    EXPECT_EQ(m_nReportId, 0u);
    ExpectAllReleased();
}

TEST_F(Search, AJoystickWithoutConfigurationFailsAtGetConfig)
{
    FakeDI_AddJoystick(4, L"\\\\.\\pipe\\other", 1);
    EXPECT_FALSE(FindDevices(m_pSheet, m_szPath, sizeof(m_szPath), &m_nReportId));
    EXPECT_EQ(FakeDI_CallCount("GetConfig"), 1);
    EXPECT_EQ(FakeDI_CallCount("CreateDevice"), 0);
    ExpectUntouched();
    ExpectAllReleased();
}

TEST_F(Search, APathTooLongForItsBufferIsAFailedSearch)
{
    // 258 characters reach DirectInput's buffer whole but need 259 bytes.
    std::wstring longPath = L"\\\\.\\pipe\\" + std::wstring(258 - 9, L'x');
    FakeDI_AddJoystick(5, longPath.c_str(), 3);
    EXPECT_FALSE(FindDevices(m_pSheet, m_szPath, sizeof(m_szPath), &m_nReportId));
    ExpectUntouched();

    // A path that fits 256 bytes but not a smaller caller buffer fails too.
    FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-cpc-search", 3);
    char small[8];
    strcpy(small, "kept");
    EXPECT_FALSE(FindDevices(m_pSheet, small, sizeof(small), &m_nReportId));
    EXPECT_STREQ(small, "kept");
    EXPECT_EQ(m_nReportId, kKeptReportId);
    ExpectAllReleased();
}

class SearchStep : public Search, public ::testing::WithParamInterface<const char *> {};

TEST_P(SearchStep, AFailedStepKeepsPathAndReportIdAndReleasesEverything)
{
    FakeDI_AddJoystick(5, L"\\\\.\\pipe\\tavrel-cpc-search", 0x0102);
    FakeDI_FailCall(GetParam(), kInjected);
    EXPECT_FALSE(FindDevices(m_pSheet, m_szPath, sizeof(m_szPath), &m_nReportId));
    ExpectUntouched();
    ExpectAllReleased();
    EXPECT_EQ(FakeDI_CallCount("GetObjectInfo"), 0);
}

INSTANTIATE_TEST_SUITE_P(EachStep, SearchStep,
                         ::testing::Values("DirectInputCreateA", "QueryInterface(IDirectInputJoyConfig)", "GetConfig",
                                           "CreateDevice", "QueryInterface(IDirectInputDevice7A)",
                                           "GetProperty(GUIDANDPATH)"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string n;
                             for (const char *c = info.param; *c; ++c)
                                 if (isalnum(static_cast<unsigned char>(*c))) n += *c;
                             return n;
                         });

TEST(OpenPath, RefusesMissingPathsAndOpensAnExistingOneShared)
{
    EXPECT_EQ(OpenConverterPath(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenConverterPath(""), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenConverterPath("\\\\.\\pipe\\tavrel-cpc-nobody-serves-this"), INVALID_HANDLE_VALUE);

    char dir[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "cpc", 0, file);
    HANDLE a = OpenConverterPath(file);
    HANDLE b = OpenConverterPath(file);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(b, INVALID_HANDLE_VALUE) << "the second channel must be able to share the device";
    DWORD cb = 0;
    const BYTE report[5] = {1, 1, 0, 1, 200};
    EXPECT_TRUE(WriteFile(a, report, 5, &cb, nullptr)); // synchronous: no OVERLAPPED needed
    EXPECT_EQ(cb, 5u);
    CloseHandle(a);
    CloseHandle(b);
    DeleteFileA(file);
}

} // namespace
