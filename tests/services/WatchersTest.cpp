#include "Watchers.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorlex;

// A watcher hears each notify while its context lives: one whose context ends during a notify (its own
// handler's included) hears no more and is let go, one added during a notify waits for the next.
TEST(WatchersTest, EachWatcherLivesAsLongAsItsContext)
{
    Watchers<int> watchers;
    QList<int> heard;
    auto first = std::make_unique<QObject>(), second = std::make_unique<QObject>();
    QObject third;
    watchers.add(first.get(), [&](int n) {
        heard << n;
        first.reset();
        second.reset();
        watchers.add(&third, [&heard](int later) { heard << later * 10; });
    });
    watchers.add(second.get(), [&heard](int n) { heard << -n; });
    watchers.notify(1);
    watchers.notify(2);
    EXPECT_EQ(heard, (QList<int>{1, 20}));
    EXPECT_EQ(watchers.size(), 1u);
}
