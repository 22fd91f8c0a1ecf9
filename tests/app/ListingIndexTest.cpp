#include "app/state/ListingIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

std::vector<ObjectItem> items(int from, int to, int step = 1) {
    std::vector<ObjectItem> result;
    for (int i = from; i < to; i += step) result.push_back({"key-" + std::to_string(i), i});
    return result;
}

std::vector<std::string> keysOf(const std::vector<ObjectItem>& listing) {
    std::vector<std::string> keys;
    for (const ObjectItem& item : listing) keys.push_back(item.key);
    return keys;
}

// Pages that overlap, across many growths of the table, keep each key once and in
// the order it first came, with the first copy's fields.
TEST(ListingIndex, KeepsEveryKeyOnceInTheOrderItFirstCame) {
    std::vector<ObjectItem> listing = items(0, 1000);
    ListingIndex<ObjectItem> index(listing);
    std::vector<ObjectItem> expected = listing;
    for (int page = 1; page < 30; ++page) {
        std::vector<ObjectItem> next = items(page * 1000 - 500, page * 1000 + 1000);
        for (ObjectItem& item : next) item.size = -1;  // repeats must not replace the first copy
        const std::size_t added = index.appendNew(next);
        EXPECT_EQ(added, 1000u) << "page " << page;
        for (ObjectItem& item : items(page * 1000, page * 1000 + 1000)) {
            item.size = -1;
            expected.push_back(item);
        }
    }
    EXPECT_EQ(listing, expected);
    EXPECT_EQ(index.appendNew(items(0, 30000, 7)), 0u);
}

TEST(ListingIndex, StartsOverWhenTheListingIsReplaced) {
    std::vector<ObjectItem> listing = items(0, 10);
    ListingIndex<ObjectItem> index(listing);
    EXPECT_EQ(index.appendNew(items(5, 15)), 5u);

    listing = items(100, 103);
    index.reset();
    EXPECT_EQ(index.appendNew(items(0, 3)), 3u) << "keys of the old listing still counted as shown";
    EXPECT_EQ(index.appendNew(items(100, 104)), 1u);
    EXPECT_EQ(keysOf(listing), (std::vector<std::string>{"key-100", "key-101", "key-102", "key-0", "key-1", "key-2",
                                                          "key-103"}));

    // A page with a key twice keeps its first copy.
    std::vector<ObjectPrefix> folders;
    ListingIndex<ObjectPrefix> prefixes(folders);
    EXPECT_EQ(prefixes.appendNew({{"a/"}, {"b/"}, {"a/"}}), 2u);
    EXPECT_EQ(folders, (std::vector<ObjectPrefix>{{"a/"}, {"b/"}}));
}

}  // namespace
}  // namespace tarn
