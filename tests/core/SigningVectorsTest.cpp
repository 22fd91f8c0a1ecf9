// Signatures compared, stage by stage, with vectors computed outside the program:
// tests/data/signing/vectors.json, written by generate_vectors.py beside it with
// botocore, whose published-example cases carry the published signatures too.
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

using namespace tarn;
using nlohmann::json;

namespace {

json loadVectors() {
    std::ifstream file(std::string(TARN_TEST_DATA_DIR) + "/signing/vectors.json");
    if (!file) throw std::runtime_error("tests/data/signing/vectors.json is missing");
    return json::parse(file)["cases"];
}

std::optional<std::string> optionalText(const json& object, const char* key) {
    if (!object.contains(key) || object[key].is_null()) return std::nullopt;
    return object[key].get<std::string>();
}

BucketConfig bucketOf(const json& c) {
    BucketConfig bucket;
    bucket.bucketName = c["bucketName"];
    bucket.endpoint = *Url::parse(c["endpoint"].get<std::string>());
    bucket.region = c["region"];
    return bucket;
}

S3Credentials credentialsOf(const json& c) { return {c["accessKeyID"], c["secretAccessKey"]}; }

TimePoint timeOf(const json& c) { return *IsoDate::parse(c["time"].get<std::string>()); }

std::vector<QueryItem> queryItemsOf(const json& items) {
    std::vector<QueryItem> result;
    for (const json& item : items) {
        result.push_back({item[0], item[1].is_null() ? std::nullopt : std::optional<std::string>(item[1])});
    }
    return result;
}

// The unsigned URL through the builder function the case names.
std::string urlOf(const json& c) {
    const json& target = c["url"];
    if (target.contains("literal")) return target["literal"];
    const BucketConfig bucket = bucketOf(c);
    const std::string call = target["call"];
    const std::string key = target.value("key", "");
    if (call == "objectURL") return S3RequestBuilder::objectURL(bucket, key);
    if (call == "listURL") {
        return S3RequestBuilder::listURL(bucket, optionalText(target, "prefix"), optionalText(target, "delimiter"),
                                         optionalText(target, "continuationToken"));
    }
    if (call == "deleteObjectsURL") return S3RequestBuilder::deleteObjectsURL(bucket);
    if (call == "listMultipartUploadsURL") {
        return S3RequestBuilder::listMultipartUploadsURL(bucket, optionalText(target, "keyMarker"),
                                                         optionalText(target, "uploadIdMarker"), target["maxUploads"]);
    }
    if (call == "createMultipartUploadURL") return S3RequestBuilder::createMultipartUploadURL(bucket, key);
    if (call == "uploadPartURL") {
        return S3RequestBuilder::uploadPartURL(bucket, key, target["partNumber"], target["uploadId"].get<std::string>());
    }
    if (call == "abortMultipartUploadURL") {
        return S3RequestBuilder::abortMultipartUploadURL(bucket, key, target["uploadId"].get<std::string>());
    }
    if (call == "completeMultipartUploadURL") {
        return S3RequestBuilder::completeMultipartUploadURL(bucket, key, target["uploadId"].get<std::string>());
    }
    throw std::runtime_error("unknown call " + call);
}

std::vector<HttpHeader> headersOf(const json& c) {
    std::vector<HttpHeader> headers;
    for (const json& header : c.value("headers", json::array())) headers.push_back({header[0], header[1]});
    if (c.contains("copySource")) {
        const json& source = c["copySource"];
        headers.push_back({"x-amz-copy-source",
                           S3RequestBuilder::copySource(source["bucketName"].get<std::string>(),
                                                        source["key"].get<std::string>(), source["move"])});
    }
    return headers;
}

std::vector<std::uint8_t> bodyOf(const json& c) {
    const std::string text = c.value("body", "");
    return {text.begin(), text.end()};
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return text;
}

// The names on the signed-headers line (the fifth line of a header-form canonical
// request) are exactly the names of the headers that are sent, Authorization aside.
void expectSignedHeadersAreSentHeaders(const S3Request& request, const std::string& canonicalRequest) {
    std::set<std::string> sent;
    for (const HttpHeader& header : request.headers) {
        if (lowered(header.name) != "authorization") sent.insert(lowered(header.name));
    }
    const std::size_t end = canonicalRequest.rfind('\n');
    const std::size_t start = canonicalRequest.rfind('\n', end - 1) + 1;
    std::set<std::string> signedNames;
    std::string names = canonicalRequest.substr(start, end - start) + ";";
    for (std::size_t pos = 0, next; (next = names.find(';', pos)) != std::string::npos; pos = next + 1) {
        signedNames.insert(names.substr(pos, next - pos));
    }
    EXPECT_EQ(signedNames, sent);
}

void expectStages(const S3Signer::SigningStages& stages, const json& c) {
    const json& expected = c["expected"];
    EXPECT_EQ(stages.canonicalRequest, expected["canonicalRequest"]);
    EXPECT_EQ(stages.stringToSign, expected["stringToSign"]);
    EXPECT_EQ(stages.signature, expected["signature"]);
    if (c.contains("documentedSignature")) {
        EXPECT_EQ(stages.signature, c["documentedSignature"]);
    }
}

}  // namespace

TEST(SigningVectors, HeaderFormMatchesAtEveryStage) {
    int checked = 0;
    for (const json& c : loadVectors()) {
        if (c["form"] != "header") continue;
        SCOPED_TRACE(c["name"].get<std::string>());
        const json& expected = c["expected"];
        const std::string url = urlOf(c);
        EXPECT_EQ(url, expected["url"]);

        S3Request request;
        if (c["via"] == "builder") {
            request = S3RequestBuilder::request(c["method"], url, bucketOf(c), credentialsOf(c), bodyOf(c),
                                                optionalText(c, "contentType"), headersOf(c), timeOf(c));
        } else {
            request.method = c["method"];
            request.url = url;
            request.headers = headersOf(c);
            request.body = bodyOf(c);
            S3Signer::sign(request, c["region"].get<std::string>(), credentialsOf(c), timeOf(c));
        }
        // Signing the finished request again at the same time gives the same texts,
        // which lets the test read them back.
        S3Request again = request;
        const S3Signer::SigningStages stages =
            S3Signer::sign(again, c["region"].get<std::string>(), credentialsOf(c), timeOf(c));
        EXPECT_EQ(again, request);

        expectStages(stages, c);
        ASSERT_NE(request.header("Authorization"), nullptr);
        EXPECT_EQ(*request.header("Authorization"), expected["authorization"]);
        expectSignedHeadersAreSentHeaders(request, stages.canonicalRequest);
        ++checked;
    }
    EXPECT_GE(checked, 28);
}

TEST(SigningVectors, QueryFormMatchesAtEveryStage) {
    int checked = 0;
    for (const json& c : loadVectors()) {
        if (c["form"] != "query") continue;
        SCOPED_TRACE(c["name"].get<std::string>());
        const json& expected = c["expected"];
        const json& target = c["url"];
        const std::vector<QueryItem> extraQuery = queryItemsOf(target.value("extraQuery", json::array()));

        const std::string url = S3RequestBuilder::presignedDownloadURL(
            bucketOf(c), target["key"].get<std::string>(), credentialsOf(c), c["expiresIn"], extraQuery, timeOf(c));
        EXPECT_EQ(url, expected["url"]);

        // The signer alone, over the same URL before signing, gives the texts.
        std::string unsignedUrl = S3RequestBuilder::objectURL(bucketOf(c), target["key"].get<std::string>());
        if (!extraQuery.empty()) unsignedUrl += "?" + S3Signer::encodeQuery(extraQuery);
        const S3Signer::PresignedURL presigned = S3Signer::presign(
            "GET", unsignedUrl, c["region"].get<std::string>(), credentialsOf(c), c["expiresIn"], timeOf(c));
        EXPECT_EQ(presigned.url, url);
        expectStages(presigned.stages, c);
        ++checked;
    }
    EXPECT_GE(checked, 6);
}
