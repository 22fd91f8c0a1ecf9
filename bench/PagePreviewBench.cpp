#include "BenchSupport.h"

#include "ui/preview/PageBrowser.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/WebPreview.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

// The pages the preview may be handed, each within its size limit: what a text
// browser lays out in seconds or minutes, the most it lays out as a page, and what
// it shows as source instead.
enum class Page { nestedTables, tableAtTheBound, paragraphs, markdownList, longLine, largeImages };

QByteArray nestedTables(int depth)
{
    QByteArray page = "<html><body>";
    for (int i = 0; i < depth; ++i) {
        page += "<table border=\"1\"><tr><td>" + QByteArray::number(i);
    }
    for (int i = 0; i < depth; ++i) {
        page += "</td></tr></table>";
    }
    return page + "</body></html>";
}

// Four images of 2048 x 2048 pixels (64 MiB decoded, all the page may hold), each row
// of one colour so that the page stays within its size limit.
QByteArray largeImages()
{
    QByteArray page = "<html><body><h1>Gallery</h1>";
    for (int i = 0; i < 4; ++i) {
        QImage image(2048, 2048, QImage::Format_ARGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 0, 2048);
        gradient.setColorAt(0, QColor::fromHsv(i * 80, 180, 230));
        gradient.setColorAt(1, QColor::fromHsv(i * 80 + 40, 220, 120));
        painter.fillRect(image.rect(), gradient);
        painter.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        page += "<p>Picture " + QByteArray::number(i) + "</p><img src=\"data:image/png;base64," + png.toBase64() +
                "\">";
    }
    return page + "</body></html>";
}

QByteArray content(Page page)
{
    const qint64 cap = tarn::PreviewFile::pageDisplayCap;
    QByteArray bytes;
    switch (page) {
    case Page::nestedTables:
        return nestedTables(40);
    case Page::tableAtTheBound:
        // 1,000 short cells: as much table as is shown as a page.
        bytes = "<html><body><table border=\"1\">";
        for (int i = 0; i < 250; ++i) {
            bytes += "<tr><td>a</td><td>bb</td><td>ccc</td><td>" + QByteArray::number(i) + "</td></tr>";
        }
        return bytes + "</table></body></html>";
    case Page::paragraphs:
        bytes = "<html><body>";
        while (bytes.size() < cap - 200) {
            bytes += "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.</p>\n";
        }
        return bytes + "</body></html>";
    case Page::markdownList:
        for (int i = 0; bytes.size() < cap - 64; ++i) {
            bytes += QByteArray(i % 16, ' ') + "- item " + QByteArray::number(i) + "\n";
        }
        return bytes;
    case Page::longLine:
        return "<p>" + QByteArray(cap - 16, 'w') + "</p>";
    case Page::largeImages:
        return largeImages();
    }
    return bytes;
}

// Shows the page in a pane as the inspector does, scrolls through it and back, and
// measures the longest hold-up of the main thread from the moment the preview is made
// until the page has been laid out and painted.
void BM_PagePreview(benchmark::State& state)
{
    const auto page = static_cast<Page>(state.range(0));
    QTemporaryDir folder;
    const QString path = folder.filePath(page == Page::markdownList ? QStringLiteral("page.md")
                                                                    : QStringLiteral("page.html"));
    const QByteArray bytes = content(page);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        state.SkipWithError("cannot write the page");
        return;
    }
    file.close();

    double maxStallMs = std::numeric_limits<double>::infinity();
    double maxBusyMs = std::numeric_limits<double>::infinity();
    double loadMs = std::numeric_limits<double>::infinity();
    bool asSource = false;
    for (auto _ : state) {
        QWidget pane;
        pane.resize(420, 600);
        auto* layout = new QVBoxLayout(&pane);
        pane.show();
        QApplication::processEvents();

        tarn::bench::StallWatch stalls;
        tarn::WebPreview* preview = nullptr;
        QElapsedTimer loading;
        QEventLoop loop;
        QTimer::singleShot(0, &pane, [&] {
            loading.start();
            preview = new tarn::WebPreview(path, page == Page::markdownList, {});
            layout->addWidget(preview);
        });
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (preview == nullptr || !preview->isLoaded()) {
                return;
            }
            watch.stop();
            loadMs = std::min(loadMs, static_cast<double>(loading.elapsed()));
            // The rest of the layout runs in steps; then the reader scrolls through.
            QTimer::singleShot(600, &pane, [&] {
                QAbstractScrollArea* view = preview->showsSource()
                                                ? static_cast<QAbstractScrollArea*>(preview->sourceView())
                                                : preview->browser();
                QScrollBar* bar = view->verticalScrollBar();
                bar->setValue(bar->maximum() / 2);
                QTimer::singleShot(100, &pane, [bar] { bar->setValue(bar->maximum()); });
                QTimer::singleShot(200, &pane, [bar] { bar->setValue(0); });
                QTimer::singleShot(500, &loop, &QEventLoop::quit);
            });
        });
        stalls.start();
        watch.start(5);
        loop.exec();
        stalls.stop();
        asSource = preview != nullptr && preview->showsSource();
        maxStallMs = std::min(maxStallMs, stalls.longestStallMs());
        maxBusyMs = std::min(maxBusyMs, stalls.longestBusyMs());
    }
    state.counters["max_main_thread_stall_ms"] = maxStallMs;
    state.counters["max_main_thread_busy_ms"] = maxBusyMs;
    state.counters["load_ms"] = loadMs;
    state.counters["page_kib"] = static_cast<double>(bytes.size()) / 1024;
    state.counters["shown_as_source"] = asSource ? 1 : 0;
}
// 0 nested tables, 1 table at the bound, 2 paragraphs, 3 Markdown list, 4 long line,
// 5 large embedded images.
BENCHMARK(BM_PagePreview)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
