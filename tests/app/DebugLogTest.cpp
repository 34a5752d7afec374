#include "app/DebugLog.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

// Each call is one line exactly as formatted; an overlong line is cut to 999
// characters instead of overrunning the 1000-byte buffer.
TEST(DebugLog, WritesEachCallAsOneLineAndCutsOverlongOnes)
{
    LogCapture capture;
    Log("FILE SIZE: %d\n", 8192);
    Log("no newline");
    Log("%s-tail\n", std::string(5000, 'x').c_str());
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"FILE SIZE: 8192\n", "no newline", std::string(999, 'x')}));
}
