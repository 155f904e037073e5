// Debug output as the tests read it: exact texts, in order, from this
// process and from others, and no stalled writers once the capture stops.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/doubles/debugcapture.h"
#include "tests/doubles/selfspawn.h"

namespace {

TEST(DebugCapture, KeepsExactTextsInOrder)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    OutputDebugStringA("InitializeDirectInput failed!\n");
    OutputDebugStringA("VIZIDIVU:CClassFactory_QueryInterface\n");
    OutputDebugStringA("");
    OutputDebugStringA("no newline");
    ASSERT_TRUE(cap.WaitFor("no newline", 5000));
    EXPECT_EQ(cap.Lines(), (std::vector<std::string>{"InitializeDirectInput failed!\n",
                                                      "VIZIDIVU:CClassFactory_QueryInterface\n", "", "no newline"}));
    EXPECT_EQ(cap.LinesFrom(GetCurrentProcessId()).size(), 4u);
    EXPECT_EQ(cap.Count(""), 1u);
    EXPECT_TRUE(cap.WaitFor("InitializeDirectInput failed!\n", 0)) << "a line that came earlier counts";
    EXPECT_FALSE(cap.WaitFor("InitializeDirectInput failed!", 200)) << "texts compare exactly";
    EXPECT_TRUE(cap.WaitForPrefix("VIZIDIVU:", 0));
    cap.Clear();
    EXPECT_TRUE(cap.Lines().empty());
}

TEST(DebugCapture, NothingIsLostInABurst)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    for (int i = 0; i < 500; ++i) OutputDebugStringA(("line " + std::to_string(i)).c_str());
    ASSERT_TRUE(cap.WaitFor("line 499", 10000));
    auto lines = cap.Lines();
    ASSERT_EQ(lines.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(lines[i], "line " + std::to_string(i));
}

TEST(DebugCaptureChild, DISABLED_WritesItsText)
{
    const char *text = getenv("TAVREL_TEST_DEBUG_TEXT");
    ASSERT_NE(text, nullptr);
    OutputDebugStringA(text);
}

TEST(DebugCapture, HearsOtherProcesses)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    DWORD child = 0;
    ASSERT_EQ(RunSelf("DebugCaptureChild.DISABLED_WritesItsText", {{"TAVREL_TEST_DEBUG_TEXT", "from the child\n"}},
                      30000, &child),
              0);
    ASSERT_TRUE(cap.WaitFor("from the child\n", 5000));
    EXPECT_EQ(cap.LinesFrom(child), (std::vector<std::string>{"from the child\n"}));
}

TEST(DebugCapture, OnlyOneCaptureReadsAtATime)
{
    DebugCapture first, second;
    ASSERT_TRUE(first.Start());
    EXPECT_FALSE(second.Start(300)) << "a second reader would steal lines";
    first.Stop();
    ASSERT_TRUE(second.Start(5000));
    OutputDebugStringA("to the second");
    EXPECT_TRUE(second.WaitFor("to the second", 5000));
    // Other programs may write to the debugger meanwhile; what matters is
    // that the stopped reader got nothing meant for the one after it.
    for (const auto &line : first.Lines()) EXPECT_NE(line, "to the second");
}

TEST(DebugCapture, WritersDoNotWaitOnceStopped)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    OutputDebugStringA("before");
    ASSERT_TRUE(cap.WaitFor("before", 5000));
    cap.Stop();
    DWORD t0 = GetTickCount();
    for (int i = 0; i < 3; ++i) OutputDebugStringA("after");
    EXPECT_LT(GetTickCount() - t0, 5000u) << "writers blocked on a gone monitor";
    EXPECT_EQ(cap.Lines(), (std::vector<std::string>{"before"}));
}

} // namespace
