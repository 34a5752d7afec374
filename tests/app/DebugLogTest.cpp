#include "app/DebugLog.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

TEST(DebugLog, WritesEachCallAsOneLineExactlyAsFormatted)
{
    LogCapture capture;
    Log("FILE SIZE: %d\n", 8192);
    Log("no newline");
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[0], "FILE SIZE: 8192\n");
    EXPECT_EQ(capture.Lines()[1], "no newline");
}

TEST(DebugLog, CutsAnOverlongLineInsteadOfWritingPastTheBuffer)
{
    LogCapture capture;
    std::string longText(5000, 'x');
    Log("%s-tail\n", longText.c_str());
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].size(), CDebugLog::kBufferSize - 1);
    EXPECT_EQ(capture.Lines()[0], std::string(CDebugLog::kBufferSize - 1, 'x'));
}
