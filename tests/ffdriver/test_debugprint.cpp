// The debugger line's bound. (The factory's own lines and counts are
// checked on the built DLL in test_ffdll.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffdriver/ffmodule.h"
#include "tests/doubles/debugcapture.h"

namespace {

TEST(DebugLines, ALongLineIsCutToTheBufferNotOverrun)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    std::string longText(2000, 'x');
    EXPECT_EQ(DebugPrint("%s%d", longText.c_str(), 7), 502);
    EXPECT_EQ(DebugPrint("%d-%s", 42, "ok"), 5);
    EXPECT_TRUE(cap.WaitFor("VIZIDIVU:42-ok", 5000));
    cap.Stop();
    std::vector<std::string> mine = cap.LinesFrom(GetCurrentProcessId());
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0], "VIZIDIVU:" + std::string(502, 'x'));
}

} // namespace
