#include "storage/db/StatementCache.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Each step adds a text (handle = its number) or finds one; the handles released so far and
// what each find returned are compared with the expectations.
TEST(StatementCacheTest, KeepsTheMostRecentlyUsedAndReleasesEachHandleOnce) {
    std::vector<int> released;
    {
        db::StatementCache<int> cache(3, [&](int handle) { released.push_back(handle); });
        cache.Add("a", 1);
        cache.Add("b", 2);
        cache.Add("c", 3);
        ASSERT_NE(cache.Find("a"), nullptr);  // a is now used last: b goes first
        EXPECT_EQ(*cache.Find("a"), 1);
        cache.Add("d", 4);
        EXPECT_EQ(released, std::vector<int>{2});
        EXPECT_EQ(cache.Find("b"), nullptr);
        EXPECT_EQ(cache.Size(), 3u);
        cache.Add("e", 5);  // c is the oldest now
        EXPECT_EQ(released, (std::vector<int>{2, 3}));
        EXPECT_EQ(*cache.Find("d"), 4);
        EXPECT_EQ(*cache.Find("e"), 5);
        cache.Clear();
        EXPECT_EQ(cache.Size(), 0u);
        EXPECT_EQ(cache.Find("a"), nullptr);
        EXPECT_EQ(released.size(), 5u);
        cache.Add("a", 6);
    }
    // What is kept when the cache goes is released with it.
    EXPECT_EQ(released, (std::vector<int>{2, 3, 5, 4, 1, 6}));
}

}  // namespace
