#include "ui/preview/PageBounds.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <limits>

namespace tarn {

namespace {

constexpr int kCharactersPerUnit = 64;
// Past this depth the work is beyond any bound: the doubling stops before it overflows.
constexpr int kDeepest = 40;

constexpr qint64 kBeyondAnyBound = std::numeric_limits<qint64>::max() / 2;

void measureFrame(QTextFrame* frame, int frameDepth, int tableDepth, PageBounds::Measure& measure)
{
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            const int depth = qobject_cast<QTextTable*>(child) != nullptr ? tableDepth + 1 : tableDepth;
            measure.tableDepth = std::max(measure.tableDepth, depth);
            // Thousands of frames one in another fit in a page; the measure goes no deeper
            // than any page could be shown.
            if (frameDepth == kDeepest) {
                measure.tableWork = kBeyondAnyBound;
                continue;
            }
            measureFrame(child, frameDepth + 1, depth, measure);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        ++measure.blocks;
        measure.longestBlock = std::max(measure.longestBlock, block.length());
        if (tableDepth > 0) {
            const qint64 units = 1 + block.length() / kCharactersPerUnit;
            const qint64 work = units << std::min(tableDepth, kDeepest);
            measure.tableWork = std::min(kBeyondAnyBound, measure.tableWork + work);
        }
    }
}

}  // namespace

bool PageBounds::Measure::withinBounds() const
{
    return blocks <= maxBlocks && longestBlock <= maxBlockLength && tableWork <= maxTableWork;
}

PageBounds::Measure PageBounds::of(const QTextDocument& document)
{
    Measure measure;
    measureFrame(document.rootFrame(), 0, 0, measure);
    return measure;
}

}  // namespace tarn
