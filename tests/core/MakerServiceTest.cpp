#include "core/storage/MakerService.h"

#include <gtest/gtest.h>

TEST(MakerService, RecognisesOnlyHostsInsideTheStorageDomain) {
    const std::pair<std::string, bool> cases[] = {
        {"https://corvane.example", true},
        {"https://s3.cn-east-1.corvane.example", true},
        {"https://bucket.S3.Corvane.Example.:8443", true},
        {"https://evilcorvane.example", false},
        {"https://corvane.example.attacker.test", false},
        {"https://s3.amazonaws.com", false},
        {"http://127.0.0.1:9000", false},
        {"corvane.example/path", false},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(tarn::MakerService::isStorageEndpoint(*tarn::Url::parse(text)), expected) << text;
    }
}
