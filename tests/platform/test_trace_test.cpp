#include "platform/test_trace.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Marks from several threads arrive as whole lines, and none once the trace
// is switched off.
TEST(TestTrace, WholeLinesFromEveryThreadAndNoneWhenOff) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    SetTestTrace(ends[1]);
    const std::string mark(200, 'm');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&mark] {
            for (int i = 0; i < 50; ++i)
                TraceTestPoint(mark);
        });
    for (std::thread& thread : threads)
        thread.join();
    SetTestTrace(-1);
    TraceTestPoint("after");
    std::string read;
    char chunk[4096];
    ssize_t count;
    while ((count = ::read(ends[0], chunk, sizeof chunk)) > 0)
        read.append(chunk, static_cast<std::size_t>(count));
    ::close(ends[0]);
    ::close(ends[1]);
    std::string expected;
    for (int i = 0; i < 200; ++i)
        expected += mark + "\n";
    EXPECT_EQ(read, expected);
}
