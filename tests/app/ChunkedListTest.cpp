#include "app/state/ChunkedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace tarn {
namespace {

// Counts the entries alive, so that one destroyed twice or never shows.
struct Counted {
    static inline int alive = 0;
    explicit Counted(int value) : value(value), text("entry " + std::to_string(value)) { ++alive; }
    Counted(Counted&& other) noexcept : value(other.value), text(std::move(other.text)) { ++alive; }
    Counted(const Counted& other) : value(other.value), text(other.text) { ++alive; }
    ~Counted() { --alive; }
    int value;
    std::string text;  // on the heap: a moved or freed entry reads wrong, or crashes
};

constexpr std::size_t chunk = ChunkedList<Counted>::chunkSize;

// Entries across several chunks, at and around each boundary: each is where it was
// put, in order, at the address it got when appended.
TEST(ChunkedList, KeepsEveryEntryInPlaceAndInOrderAcrossChunks) {
    ChunkedList<Counted> list;
    std::vector<const Counted*> addresses;
    for (const std::size_t size : {std::size_t{1}, chunk - 1, chunk, chunk + 1, 3 * chunk + 5}) {
        while (list.size() < size) addresses.push_back(&list.emplace_back(static_cast<int>(list.size())));
        ASSERT_EQ(list.size(), size);
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_EQ(&list[i], addresses[i]) << "entry " << i << " moved";
            ASSERT_EQ(list[i].value, static_cast<int>(i));
            ASSERT_EQ(list[i].text, "entry " + std::to_string(i));
        }
        EXPECT_EQ(list.back().value, static_cast<int>(size - 1));
    }
    int expected = 0;
    for (const Counted& entry : list) EXPECT_EQ(entry.value, expected++);
    EXPECT_EQ(static_cast<std::size_t>(list.end() - list.begin()), list.size());
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](const Counted& a, const Counted& b) {
        return a.value < b.value;
    }));

    // Moving the list moves the chunks, not the entries.
    const Counted* first = &list[0];
    ChunkedList<Counted> moved = std::move(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(&moved[0], first);

    EXPECT_EQ(Counted::alive, static_cast<int>(moved.size()));
    moved.clear();
    EXPECT_EQ(Counted::alive, 0);
    moved.emplace_back(7);
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].value, 7);
}

// A snapshot reads what the list held when it was taken, on another thread, while
// the list goes on growing past it; its chunks outlive the list.
TEST(ChunkedList, ASnapshotReadsItsEntriesWhileTheListGrowsAndAfterItIsGone) {
    {
        auto list = std::make_unique<ChunkedList<Counted>>();
        for (int i = 0; i < static_cast<int>(2 * chunk + 10); ++i) list->emplace_back(i);
        const ChunkedList<Counted>::Snapshot snapshot = list->snapshot();

        bool intact = true;
        std::thread reader([&] {
            for (int round = 0; round < 20; ++round) {
                for (std::size_t i = 0; i < snapshot.size(); ++i) {
                    if (snapshot[i].value != static_cast<int>(i) || snapshot[i].text != "entry " + std::to_string(i)) {
                        intact = false;
                    }
                }
            }
        });
        for (int i = static_cast<int>(list->size()); i < static_cast<int>(20 * chunk); ++i) list->emplace_back(i);
        reader.join();
        EXPECT_TRUE(intact);
        EXPECT_EQ(snapshot.size(), 2 * chunk + 10);

        list.reset();
        const EntriesView<Counted> view(snapshot);
        ASSERT_EQ(view.size(), 2 * chunk + 10);
        EXPECT_EQ(view[chunk + 3].text, "entry " + std::to_string(chunk + 3));
        EXPECT_EQ(Counted::alive, static_cast<int>(3 * chunk)) << "the chunks the snapshot holds, whole";
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(ChunkedList, AViewReadsAListASnapshotAndAVectorAlike) {
    std::vector<Counted> plain;
    ChunkedList<Counted> list;
    for (int i = 0; i < static_cast<int>(chunk + 2); ++i) {
        plain.emplace_back(i);
        list.emplace_back(i);
    }
    const ChunkedList<Counted>::Snapshot snapshot = list.snapshot();
    for (const EntriesView<Counted>& view :
         {EntriesView<Counted>(plain), EntriesView<Counted>(list), EntriesView<Counted>(snapshot)}) {
        ASSERT_EQ(view.size(), chunk + 2);
        for (std::size_t i = 0; i < view.size(); ++i) ASSERT_EQ(view[i].value, static_cast<int>(i));
    }
    EXPECT_TRUE(EntriesView<Counted>().empty());

    // Taken over from a vector, in order.
    const ChunkedList<Counted> taken(std::move(plain));
    ASSERT_EQ(taken.size(), chunk + 2);
    EXPECT_EQ(taken[chunk + 1].text, "entry " + std::to_string(chunk + 1));
}

}  // namespace
}  // namespace tarn
