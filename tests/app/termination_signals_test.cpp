// A request to end the program reaches the window's thread as a call.
#include "gui/platform/termination_signals.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>

namespace tarvex::app {
namespace {

TEST(TerminationSignalsTest, EachSignalBecomesACallOnTheWindowsThread) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        int calls = 0;
        {
            TerminationSignals requests;
            // A request before anyone listens waits for the listener.
            ASSERT_EQ(std::raise(number), 0);
            requests.listen([&calls] { ++calls; });
            EXPECT_EQ(calls, 0) << "not from inside the handler";
            EXPECT_TRUE(QTest::qWaitFor([&calls] { return calls == 1; }, 2000)) << number;
        }
    }
}

TEST(TerminationSignalsTest, TheOldHandlingComesBackAfterwards) {
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        TerminationSignals requests;
        requests.listen([] {});
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(before.sa_handler, after.sa_handler);
}

} // namespace
} // namespace tarvex::app
