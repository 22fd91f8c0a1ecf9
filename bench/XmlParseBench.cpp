#include "core/storage/S3ListParser.h"

#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

// A full ListObjectsV2 page as a large service sends it: 1,000 keys of mixed depth
// and length, owners, checksums, quoted ETags, dates with milliseconds (shared by
// batches of objects written together), about 400 KB.
std::string listPage1000() {
    std::mt19937 random(20240501);
    const char* const words[] = {"photos", "2024", "holiday", "IMG", "raw", "export", "backup", "video", "docs",
                                 "scan", "final", "draft", "archive", "thumbnails", "中文", "résumé"};
    const char* const classes[] = {"STANDARD", "STANDARD", "STANDARD", "STANDARD_IA", "GLACIER"};
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };

    std::string page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ListBucketResult "
                       "xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\"><Name>media-archive</Name>"
                       "<Prefix>photos/</Prefix><NextContinuationToken>1Mv3RG2dtkVTQoGXjgN+eS2mQQIg8xqlKxJUzuw3p+"
                       "AQfSxzM0OQBW7eqBj5JnQ=</NextContinuationToken><KeyCount>1000</KeyCount><MaxKeys>1000"
                       "</MaxKeys><IsTruncated>true</IsTruncated>";
    char buffer[128];
    for (int i = 0; i < 1000; ++i) {
        std::string key = "photos/";
        const std::size_t depth = 1 + pick(3);
        for (std::size_t d = 0; d < depth; ++d) key += std::string(words[pick(std::size(words))]) + "/";
        std::snprintf(buffer, sizeof buffer, "%s_%05d-%u.jpg", words[pick(std::size(words))], i,
                      static_cast<unsigned>(random() % 100000));
        key += buffer;

        const int batch = i / 40;
        std::snprintf(buffer, sizeof buffer, "2024-%02d-%02dT%02d:%02d:%02d.%03dZ", 1 + batch % 12, 1 + batch % 28,
                      batch % 24, (batch * 7) % 60, (batch * 13) % 60, (batch * 37) % 1000);
        const std::string date = buffer;

        std::string eTag;
        for (int h = 0; h < 32; ++h) eTag += "0123456789abcdef"[random() % 16];
        if (i % 9 == 0) eTag += "-" + std::to_string(2 + pick(40));

        page += "<Contents><Key>" + key + "</Key><LastModified>" + date + "</LastModified><ETag>&quot;" + eTag +
                "&quot;</ETag><ChecksumAlgorithm>CRC64NVME</ChecksumAlgorithm><Size>" +
                std::to_string(random() % 50000000) +
                "</Size><Owner><ID>75aa57f09aa0c8caeab4f8c24e99d10f8e7faeebf76c078efc7c6caea54ba06a</ID>"
                "<DisplayName>media-team</DisplayName></Owner><StorageClass>" +
                classes[pick(std::size(classes))] + "</StorageClass></Contents>";
    }
    page += "</ListBucketResult>";
    return page;
}

const std::string& fixture() {
    static const std::string page = listPage1000();
    return page;
}

void BM_ParseListPage1000(benchmark::State& state) {
    const std::string& page = fixture();
    for (auto _ : state) {
        tarn::S3Listing listing = tarn::S3ListParser::parse(page);
        if (listing.objects.size() != 1000) state.SkipWithError("the page did not parse in full");
        benchmark::DoNotOptimize(listing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_ParseListPage1000)->Unit(benchmark::kMicrosecond);

// The floor: expat alone over the same bytes, with handlers that do nothing.
void BM_ExpatBareListPage1000(benchmark::State& state) {
    const std::string& page = fixture();
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetElementHandler(parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
        XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
        const XML_Status status = XML_Parse(parser, page.data(), static_cast<int>(page.size()), XML_TRUE);
        if (status != XML_STATUS_OK) state.SkipWithError("the page is not well-formed");
        XML_ParserFree(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ExpatBareListPage1000)->Unit(benchmark::kMicrosecond);

}  // namespace
