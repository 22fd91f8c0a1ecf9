#include "BenchSupport.h"

#include "ui/preview/PdfPreview.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr qint64 kFileBytes = qint64{200} << 20;
constexpr int kStallTimerMs = 5;
// After the document is shown, the first pages render meanwhile; then it is closed.
constexpr int kRenderMs = 500;
constexpr int kClosingMs = 100;

// A PDF of `size` bytes: one page of text, and the bulk in a stream no page draws (as
// an attachment or an unused image would be). Damaged, its cross-reference table is
// not where the file says, and the library reads the whole file to rebuild it.
bool writeLargePdf(const QString& path, qint64 size, bool damaged)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    std::vector<qint64> offsets;
    QByteArray head = "%PDF-1.4\n";
    const auto object = [&](const QByteArray& body) {
        offsets.push_back(head.size());
        head += QByteArray::number(static_cast<qint64>(offsets.size())) + " 0 obj\n" + body + "\nendobj\n";
    };
    const QByteArray text = "BT /F1 24 Tf 72 700 Td (A large document) Tj ET";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
           "/Resources << /Font << /F1 5 0 R >> >> >>");
    object("<< /Length " + QByteArray::number(text.size()) + " >>\nstream\n" + text + "\nendstream");
    object("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const qint64 bulk = size - head.size() - 512;
    offsets.push_back(head.size());
    head += "6 0 obj\n<< /Length " + QByteArray::number(bulk) + " >>\nstream\n";
    file.write(head);
    QByteArray block(1 << 20, '\0');
    for (qsizetype i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>('a' + i % 26);
    }
    for (qint64 written = 0; written < bulk;) {
        const qint64 chunk = std::min<qint64>(block.size(), bulk - written);
        file.write(block.constData(), chunk);
        written += chunk;
    }
    QByteArray tail = "\nendstream\nendobj\n";
    const qint64 xref = file.pos() + tail.size();
    tail += "xref\n0 " + QByteArray::number(static_cast<qint64>(offsets.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qint64 offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
        tail += line;
    }
    tail += "trailer\n<< /Size " + QByteArray::number(static_cast<qint64>(offsets.size()) + 1) +
            " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(damaged ? xref / 2 : xref) + "\n%%EOF\n";
    file.write(tail);
    return file.error() == QFileDevice::NoError;
}

// A PDF of `pages` empty pages, as small as such a file gets: every page a few bytes
// of its own (its size inherited from the page tree), in a tree of a thousand pages
// per branch. Four hundred thousand of them fit in well under the preview's limit.
bool writeManyPagesPdf(const QString& path, int pages)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    constexpr int kPagesPerBranch = 1000;
    const int branches = (pages + kPagesPerBranch - 1) / kPagesPerBranch;
    // Objects: 1 the catalogue, 2 the root of the tree, 3 … 2 + branches the branches,
    // then the pages.
    const auto branchObject = [](int branch) { return 3 + branch; };
    const auto pageObject = [branches](int page) { return 3 + branches + page; };
    std::vector<qint64> offsets;
    QByteArray out = "%PDF-1.4\n";
    qint64 written = 0;
    const auto flush = [&] {
        file.write(out);
        written += out.size();
        out.clear();
    };
    const auto object = [&](int number, const QByteArray& body) {
        if (static_cast<std::size_t>(number) > offsets.size()) {
            offsets.resize(static_cast<std::size_t>(number), 0);
        }
        offsets[static_cast<std::size_t>(number - 1)] = written + out.size();
        out += QByteArray::number(number) + " 0 obj<<" + body + ">>endobj\n";
        if (out.size() > (1 << 20)) {
            flush();
        }
    };
    object(1, "/Type/Catalog/Pages 2 0 R");
    QByteArray kids;
    for (int branch = 0; branch < branches; ++branch) {
        kids += QByteArray::number(branchObject(branch)) + " 0 R ";
    }
    object(2, "/Type/Pages/MediaBox[0 0 612 792]/Count " + QByteArray::number(pages) + "/Kids[" + kids + "]");
    for (int branch = 0; branch < branches; ++branch) {
        const int first = branch * kPagesPerBranch;
        const int last = std::min(pages, first + kPagesPerBranch);
        QByteArray branchKids;
        for (int page = first; page < last; ++page) {
            branchKids += QByteArray::number(pageObject(page)) + " 0 R ";
        }
        object(branchObject(branch), "/Type/Pages/Parent 2 0 R/Count " + QByteArray::number(last - first) + "/Kids[" +
                                         branchKids + "]");
    }
    for (int page = 0; page < pages; ++page) {
        object(pageObject(page), "/Type/Page/Parent " + QByteArray::number(branchObject(page / kPagesPerBranch)) +
                                     " 0 R");
    }
    const qint64 xref = written + out.size();
    out += "xref\n0 " + QByteArray::number(static_cast<qint64>(offsets.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qint64 offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
        out += line;
        if (out.size() > (1 << 20)) {
            flush();
        }
    }
    out += "trailer<</Size " + QByteArray::number(static_cast<qint64>(offsets.size()) + 1) +
           "/Root 1 0 R>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    flush();
    return file.error() == QFileDevice::NoError;
}

}  // namespace

// Opens the PDF at `path` in a preview of the inspector's size, once per round, while a
// timer on the main thread measures the longest the event loop was held up:
// max_main_thread_stall_ms by the wall clock, max_main_thread_busy_ms by the main
// thread's own CPU time; load_ms is how long the document took to appear. Once it has,
// `userActs` plays what the user does with it and calls `done`, which closes the
// preview and ends the round. `boundMs` ends a load that never finishes.
using UserActs = std::function<void(QWidget& pane, tarn::PdfPreview& preview, std::function<void()> done)>;

void measureOpen(benchmark::State& state, const QString& path, int boundMs, const UserActs& userActs)
{
    double maxStallMs = std::numeric_limits<double>::infinity();
    double maxBusyMs = std::numeric_limits<double>::infinity();
    double loadMs = std::numeric_limits<double>::infinity();
    bool everLoaded = true;
    for (auto _ : state) {
        QWidget pane;
        pane.resize(320, 460);
        auto* layout = new QVBoxLayout(&pane);
        pane.show();
        QApplication::processEvents();

        tarn::bench::StallWatch stalls(kStallTimerMs);
        QEventLoop loop;
        tarn::PdfPreview* preview = nullptr;
        std::chrono::steady_clock::time_point opened;
        double loaded = std::numeric_limits<double>::infinity();
        QTimer::singleShot(20, &pane, [&] {
            opened = std::chrono::steady_clock::now();
            preview = new tarn::PdfPreview(path);
            layout->addWidget(preview);
            QObject::connect(preview, &tarn::PdfPreview::loaded, &loop, [&] {
                loaded = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - opened).count();
                QTimer::singleShot(kRenderMs, &loop, [&] {
                    userActs(pane, *preview, [&] {
                        // The user moves on: the preview goes, and its document with it.
                        delete preview;
                        QTimer::singleShot(kClosingMs, &loop, &QEventLoop::quit);
                    });
                });
            });
        });
        QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
        stalls.start();
        loop.exec();
        stalls.stop();

        everLoaded = everLoaded && loaded < std::numeric_limits<double>::infinity();
        maxStallMs = std::min(maxStallMs, stalls.longestStallMs());
        maxBusyMs = std::min(maxBusyMs, stalls.longestBusyMs());
        loadMs = std::min(loadMs, loaded);
    }
    if (!everLoaded) {
        state.SkipWithError("the document did not load");
    }
    state.counters["max_main_thread_stall_ms"] = maxStallMs;
    state.counters["max_main_thread_busy_ms"] = maxBusyMs;
    state.counters["load_ms"] = loadMs;
}

// A 200 MiB PDF: the file is read, the first page drawn and the preview closed again
// (goal: 16 ms, one frame). Argument 1: a damaged file.
void BM_PdfPreviewOpen200MiB(benchmark::State& state)
{
    const bool damaged = state.range(0) != 0;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.pdf"));
    if (!writeLargePdf(path, kFileBytes, damaged)) {
        state.SkipWithError("cannot write the PDF");
        return;
    }
    measureOpen(state, path, 60000, [](QWidget&, tarn::PdfPreview&, const std::function<void()>& done) { done(); });
}
BENCHMARK(BM_PdfPreviewOpen200MiB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A PDF of 400,000 empty pages (about 31 MB, within the preview's limit): its pages
// are counted, the view shows the first page, the pane is resized and the next page
// turned (goal: 100 ms). file_mb is the file's size.
void BM_PdfPreviewOpenManyPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("many.pdf"));
    if (!writeManyPagesPdf(path, pages)) {
        state.SkipWithError("cannot write the PDF");
        return;
    }
    measureOpen(state, path, 300000, [](QWidget& pane, tarn::PdfPreview& preview, std::function<void()> done) {
        // The user widens the pane and turns a page; then moves on.
        pane.resize(420, 560);
        QTimer::singleShot(kRenderMs, &pane, [&pane, &preview, done = std::move(done)] {
            preview.showPage(1);
            QTimer::singleShot(kRenderMs, &pane, done);
        });
    });
    state.counters["file_mb"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_PdfPreviewOpenManyPages)->Arg(400000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
