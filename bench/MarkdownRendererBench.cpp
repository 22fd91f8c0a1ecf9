#include "core/preview/MarkdownRenderer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A README-like document of about the given size.
std::string typicalDocument(std::size_t bytes) {
    const std::string block =
        "# Release notes\n\n"
        "Some **bold** text, some *emphasis*, `inline code` and a [link](https://example.com/page?a=1&b=2).\n"
        "- an item with ![an image](images/shot.png)\n"
        "- another item\n"
        "1. first\n"
        "2. second\n"
        "> a quotation with <angle> brackets & ampersands\n"
        "```cpp\n"
        "int main() { return a < b && c > d; }\n"
        "```\n\n";
    std::string text;
    while (text.size() < bytes) text += block;
    return text;
}

void BM_RenderTypicalDocument(benchmark::State& state) {
    const std::string markdown = typicalDocument(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(tarn::MarkdownRenderer::html(markdown));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * markdown.size()));
}
BENCHMARK(BM_RenderTypicalDocument)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// The same with the line ends of a document written on Windows.
void BM_RenderCrLfDocument(benchmark::State& state) {
    std::string markdown;
    for (const char c : typicalDocument(static_cast<std::size_t>(state.range(0)))) {
        if (c == '\n') markdown += '\r';
        markdown += c;
    }
    for (auto _ : state) benchmark::DoNotOptimize(tarn::MarkdownRenderer::html(markdown));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * markdown.size()));
}
BENCHMARK(BM_RenderCrLfDocument)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// One long line built to make a naive scanner search to the end of the line at
// every character; the time must grow linearly with the line.
void BM_RenderHostileLine(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    std::string line;
    while (line.size() < length) line += "![a](b[";
    for (auto _ : state) benchmark::DoNotOptimize(tarn::MarkdownRenderer::renderBody(line));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_RenderHostileLine)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Runs that end in one refused target: "[" × n (or "![" × n) + "](javascript:x)",
// where every opener is a new attempt at the same link, and "[a](" × n +
// "javascript:x)", where every "](" starts a target running to the end. No attempt
// may cost the length of the run.
void BM_RenderRefusedLinkRun(benchmark::State& state) {
    struct Shape {
        std::string_view unit;
        std::string_view end;
    };
    constexpr Shape shapes[] = {{"[", "](javascript:x)"}, {"![", "](javascript:x)"}, {"[a](", "javascript:x)"}};
    const Shape& shape = shapes[state.range(1)];
    const auto length = static_cast<std::size_t>(state.range(0));
    std::string line;
    line.reserve(length + shape.unit.size() + shape.end.size());
    while (line.size() < length) line += shape.unit;
    line += shape.end;
    for (auto _ : state) benchmark::DoNotOptimize(tarn::MarkdownRenderer::renderBody(line));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
    std::string label(shape.unit);
    label += " run";
    state.SetLabel(label);
}
BENCHMARK(BM_RenderRefusedLinkRun)
    ->ArgsProduct({{64 << 10, 1 << 20}, {0, 1, 2}})
    ->ArgNames({"bytes", "shape"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
