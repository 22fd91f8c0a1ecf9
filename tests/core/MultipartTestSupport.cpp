#include "MultipartTestSupport.h"

namespace tarn::test {

BucketConfig loopbackBucket(const LoopbackHttpServer& server) {
    BucketConfig bucket;
    bucket.bucketName = "media";
    bucket.endpoint = *Url::parse(server.endpoint());
    bucket.region = "us-east-1";
    return bucket;
}

int partNumberIn(const std::string& target) {
    const std::size_t found = target.find("partNumber=");
    return found == std::string::npos ? 0 : std::stoi(target.substr(found + 11));
}

LogLines::LogLines(S3Client& client) {
    client.setLogger([this](std::string_view line) {
        const std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    });
}

std::vector<std::string> LogLines::all() const {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<std::string> LogLines::startingWith(const std::string& start) const {
    std::vector<std::string> found;
    for (const std::string& line : all()) {
        if (line.starts_with(start)) found.push_back(line);
    }
    return found;
}

}  // namespace tarn::test
