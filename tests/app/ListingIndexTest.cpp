#include "app/state/ListingIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace tarn {
namespace {

std::vector<ObjectItem> items(int from, int to, int step = 1) {
    std::vector<ObjectItem> result;
    for (int i = from; i < to; i += step) result.push_back({"key-" + std::to_string(i), i});
    return result;
}

std::vector<std::string> keysOf(const ChunkedList<ObjectItem>& listing) {
    std::vector<std::string> keys;
    for (const ObjectItem& item : listing) keys.push_back(item.key);
    return keys;
}

// A listing paged as the state pages it: each page sorted out against a snapshot,
// its new entries appended and its index taken.
struct Paged {
    ChunkedList<ObjectItem> listing;
    ListingIndex<ObjectItem> index;

    explicit Paged(std::vector<ObjectItem> first)
        : listing(first), index(ListingIndex<ObjectItem>::of(listing)) {}
    std::size_t add(std::vector<ObjectItem> page) {
        auto merged = index.merged(listing.snapshot(), std::move(page));
        for (ObjectItem& item : merged.added) listing.push_back(std::move(item));
        index = std::move(merged.index);
        return merged.added.size();
    }
};

// Pages that overlap, many of them, keep each key once and in the order it first
// came, with the first copy's fields; every key is found where it is, across all the
// tables the pages left, and the tables stay few.
TEST(ListingIndex, KeepsEveryKeyOnceInTheOrderItFirstCameAndFindsItThere) {
    Paged paged(items(0, 1000));
    std::vector<std::string> expected = keysOf(paged.listing);
    constexpr int pages = 100;
    for (int page = 1; page < pages; ++page) {
        std::vector<ObjectItem> next = items(page * 1000 - 500, page * 1000 + 1000);
        for (ObjectItem& item : next) item.size = -1;  // repeats must not replace the first copy
        EXPECT_EQ(paged.add(std::move(next)), 1000u) << "page " << page;
        for (const ObjectItem& item : items(page * 1000, page * 1000 + 1000)) expected.push_back(item.key);
        ASSERT_LE(paged.index.tableCount(), static_cast<std::size_t>(std::log2(page + 1)) + 1) << "page " << page;
    }
    EXPECT_EQ(keysOf(paged.listing), expected);
    EXPECT_EQ(paged.index.size(), paged.listing.size());
    EXPECT_EQ(paged.listing[999].size, 999) << "the first page's copy";
    EXPECT_EQ(paged.listing[1000].size, -1);

    for (std::size_t position = 0; position < paged.listing.size(); ++position) {
        ASSERT_EQ(paged.index.find(paged.listing[position].key, paged.listing), position);
    }
    EXPECT_FALSE(paged.index.find("key-100000", paged.listing));
    EXPECT_FALSE(paged.index.find("key-", paged.listing));
    EXPECT_EQ(paged.add(items(0, 100000, 7)), 0u);
    EXPECT_FALSE(paged.index.hasRepeats());
}

// An index is never changed by what is made from it: the main thread goes on reading
// it while a page is sorted out against it elsewhere.
TEST(ListingIndex, AnIndexStaysAsItWasWhileANewOneIsMadeFromIt) {
    Paged paged(items(0, 3000));
    const ListingIndex<ObjectItem> before = paged.index;
    const ChunkedList<ObjectItem>::Snapshot listed = paged.listing.snapshot();

    ListingIndex<ObjectItem>::Merged merged;
    std::thread sorter([&] {
        for (int round = 0; round < 20; ++round) merged = before.merged(listed, items(2000, 4500));
    });
    bool found = true;
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 3000; i += 3) found = found && before.find("key-" + std::to_string(i), paged.listing);
    }
    sorter.join();
    EXPECT_TRUE(found);
    EXPECT_EQ(before.size(), 3000u);
    EXPECT_FALSE(before.find("key-3500", paged.listing));
    ASSERT_EQ(merged.added.size(), 1500u);
    EXPECT_EQ(merged.added.front().key, "key-3000");
    EXPECT_EQ(merged.index.size(), 4500u);
    EXPECT_EQ(before.merged(listed, items(2000, 4500)).added.size(), 1500u) << "the page is new to it every time";
}

// A first page is kept whole: a key it repeats is found at its first place, and a
// later page's copy of it is not new. A page that repeats a key of its own keeps the
// first copy.
TEST(ListingIndex, AFirstPageIsKeptWholeAndAPageKeepsTheFirstOfItsOwnRepeats) {
    std::vector<ObjectItem> first{{"a", 1}, {"b", 2}, {"a", 3}};
    const ChunkedList<ObjectItem> listing(first);
    const ListingIndex<ObjectItem> index = ListingIndex<ObjectItem>::of(listing);
    EXPECT_TRUE(index.hasRepeats());
    EXPECT_EQ(index.size(), 3u);
    EXPECT_EQ(index.find("a", listing), 0u);
    EXPECT_EQ(index.find("b", listing), 1u);

    const auto merged = index.merged(listing.snapshot(), {{"c", 4}, {"a", 5}, {"c", 6}, {"d", 7}});
    ASSERT_EQ(merged.added.size(), 2u);
    EXPECT_EQ(merged.added[0], (ObjectItem{"c", 4}));
    EXPECT_EQ(merged.added[1], (ObjectItem{"d", 7}));
    EXPECT_EQ(merged.index.size(), 5u);

    // Folders likewise, from an empty listing.
    const ChunkedList<ObjectPrefix> none;
    const auto folders =
        ListingIndex<ObjectPrefix>().merged(none.snapshot(), {{"a/"}, {"b/"}, {"a/"}});
    EXPECT_EQ(folders.added, (std::vector<ObjectPrefix>{{"a/"}, {"b/"}}));
    EXPECT_EQ(ListingIndex<ObjectPrefix>().merged(none.snapshot(), {}).index.size(), 0u);
}

}  // namespace
}  // namespace tarn
