#include "app/transfers/UploadScanner.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

// A photo folder as users drop it: 20,000 small files in 200 sub-folders two levels
// deep, with a dot-file in each sub-folder; removed with the object.
class PhotoTree {
public:
    PhotoTree() {
        std::string pattern = (fs::temp_directory_path() / "tarn-bench-scan.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        m_root = pattern;
        for (int year = 0; year < 10; ++year) {
            for (int album = 0; album < 20; ++album) {
                const fs::path folder = m_root / "photos" / ("year " + std::to_string(2010 + year)) / ("album " + std::to_string(album));
                fs::create_directories(folder);
                std::ofstream(folder / ".DS_Store") << "x";
                for (int photo = 0; photo < 100; ++photo) {
                    std::ofstream(folder / ("IMG_" + std::to_string(photo) + ".jpg")) << "jpeg";
                }
            }
        }
    }
    ~PhotoTree() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    PhotoTree(const PhotoTree&) = delete;
    PhotoTree& operator=(const PhotoTree&) = delete;

    fs::path folder() const { return m_root / "photos"; }

private:
    fs::path m_root;
};

// The walk alone, and with the sizes the queue's totals read afterwards.
void BM_ScanFolder20000(benchmark::State& state) {
    const PhotoTree tree;
    const bool withSizes = state.range(0) != 0;
    std::size_t files = 0;
    for (auto _ : state) {
        const std::vector<tarn::UploadItem> items = tarn::UploadScanner::folderItems(tree.folder(), "uploads/");
        if (withSizes) benchmark::DoNotOptimize(tarn::UploadScanner::totalBytes(items));
        files = items.size();
    }
    if (files != 20'000) state.SkipWithError("the walk did not find every file");
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(files) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanFolder20000)->ArgName("with_sizes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
