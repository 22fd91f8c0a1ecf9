#pragma once

#include <QtGlobal>

class QTextDocument;

namespace tarn {

// What a text browser can lay out on the interface thread without holding up the
// window. It lays out each paragraph as a whole and each table as a whole, measuring
// every cell's contents again at every level of nesting, so a page of a kilobyte (40
// tables one in another) can take minutes. A parsed page is measured here, off the
// interface thread, before it is shown; one beyond the bounds is shown as its source.
namespace PageBounds {

// Paragraphs, list items and table cells of the page.
constexpr int maxBlocks = 20000;
// Characters of its longest paragraph.
constexpr int maxBlockLength = 20000;
// The work of its tables: each paragraph of a cell costs one unit and one more per 64
// characters, doubled for every table it lies in.
constexpr qint64 maxTableWork = 2048;

struct Measure {
    int blocks = 0;
    int longestBlock = 0;
    qint64 tableWork = 0;
    int tableDepth = 0;  // tables one inside another, at the deepest

    bool withinBounds() const;
};

Measure of(const QTextDocument& document);

}  // namespace PageBounds

}  // namespace tarn
