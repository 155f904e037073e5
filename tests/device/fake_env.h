// Common set-up of the device tests: module state as DllMain leaves it, a
// clean fake DirectInput, and helpers to read what it was asked.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controlpanel/propsheet.h"
#include "tests/controlpanel/module_state.h"
#include "tests/doubles/fakedinput_control.h"

inline std::string FakeLog()
{
    int n = FakeDI_CallLog(nullptr, 0);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    FakeDI_CallLog(&s[0], n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

// The call names of the log, one per line, without their arguments.
inline std::vector<std::string> FakeCalls()
{
    std::vector<std::string> calls;
    std::string log = FakeLog();
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(pos, end - pos);
        calls.push_back(line.substr(0, line.find(' ')));
        pos = end + 1;
    }
    return calls;
}

class FakeDirectInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureModuleState());
        FakeDI_Reset();
        m_liveBefore = FakeDI_LiveObjects();
    }
    void TearDown() override
    {
        EXPECT_EQ(FakeDI_LiveObjects(), m_liveBefore) << "DirectInput objects leaked";
    }

    // A sheet object as the factory hands it out, with its descriptions made.
    static CPropertySheetObject *NewSheet()
    {
        CPropertySheetObject *p = new CPropertySheetObject();
        EXPECT_EQ(p->Initialize(), S_OK);
        return p;
    }

    int m_liveBefore = 0;
};
