#include "LoopbackHttpServer.h"

#include "core/storage/CancelledError.h"
#include "core/storage/FaultyListingError.h"
#include "core/storage/ListingOutsidePrefixError.h"
#include "core/storage/ResponseTooLargeError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"
#include "core/storage/TransportError.h"
#include "core/storage/XmlParseError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>

using tarn::HttpHeader;
using tarn::S3Client;
using tarn::S3Error;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::ScriptedAnswer;
using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

// The log lines a client wrote, in order.
class CapturedLog {
public:
    explicit CapturedLog(S3Client& client) {
        client.setLogger([this](std::string_view line) {
            const std::lock_guard lock(m_mutex);
            m_lines.emplace_back(line);
        });
    }
    std::vector<std::string> lines() const {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

tarn::BucketConfig bucketAt(const LoopbackHttpServer& server) {
    tarn::BucketConfig bucket;
    bucket.bucketName = "media";
    bucket.endpoint = *tarn::Url::parse(server.endpoint());
    bucket.region = "us-east-1";
    return bucket;
}

const tarn::S3Credentials credentials{"AKIDEXAMPLE", "secret"};

std::string listPageXml(const std::vector<std::string>& keys, const std::optional<std::string>& nextToken) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult><Name>media</Name>";
    for (const std::string& key : keys) {
        if (key.ends_with("/")) {
            xml += "<CommonPrefixes><Prefix>" + key + "</Prefix></CommonPrefixes>";
        } else {
            xml += "<Contents><Key>" + key + "</Key><Size>1</Size></Contents>";
        }
    }
    xml += nextToken ? "<IsTruncated>true</IsTruncated><NextContinuationToken>" + *nextToken +
                           "</NextContinuationToken>"
                     : "<IsTruncated>false</IsTruncated>";
    return xml + "</ListBucketResult>";
}

std::map<std::string, std::optional<std::string>> queryOf(const std::string& target) {
    std::map<std::string, std::optional<std::string>> items;
    const std::size_t question = target.find('?');
    if (question == std::string::npos) return items;
    for (const tarn::QueryItem& item : tarn::S3Signer::decodeQuery(target.substr(question + 1))) {
        items[item.name] = item.value;
    }
    return items;
}

// "Name: value" texts sorted and joined as the log writes them.
std::string joinedSorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "; ") + text;
    return joined;
}

}  // namespace

TEST(S3Client, SuccessfulListingLogsRequestAnswerAndTextualBody) {
    const std::string xml = listPageXml({"photos/a.jpg", "photos/b/"}, std::nullopt);
    LoopbackHttpServer server([&](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"x-amz-request-id", "R1"}, {"Content-Type", "application/xml"}}, xml);
    });
    S3Client client;
    CapturedLog log(client);
    const tarn::S3Listing page = client.listPage(bucketAt(server), credentials, "photos/", "/", std::nullopt);
    ASSERT_EQ(page.objects.size(), 1u);
    EXPECT_EQ(page.objects[0].key, "photos/a.jpg");
    EXPECT_EQ(page.prefixes, std::vector<tarn::ObjectPrefix>{{"photos/b/"}});

    const std::string url = tarn::S3RequestBuilder::listURL(bucketAt(server), "photos/", "/", std::nullopt);
    const std::string size = std::to_string(xml.size());
    EXPECT_THAT(log.lines(),
                ElementsAre("→ GET " + url,
                            MatchesRegex("← 200 \\[[0-9]+ms\\] " + size + " bytes \\| Content-Length: " + size +
                                         "; Content-Type: application/xml; x-amz-request-id: R1"),
                            "  body: " + xml));
    // The query carries exactly the listing's items, the empty ones included.
    EXPECT_EQ(queryOf(server.requests()[0].target),
              (std::map<std::string, std::optional<std::string>>{
                  {"list-type", "2"}, {"prefix", "photos/"}, {"delimiter", "/"}}));
}

TEST(S3Client, RefusedRequestLogsStatusMaskedHeadersAndBody) {
    struct Case {
        int status;
        std::string body;
        std::string loggedBody;
        std::string errorBody;
    };
    std::string longText(4095, 'a');
    longText += "é";  // the two bytes of this letter straddle the cut at 4096
    longText += std::string(10000 - longText.size(), 'z');
    const std::string binary("\xff\xfe\x00\x01garbage", 10);
    const std::string xml = "<?xml version=\"1.0\"?><Error><Code>NoSuchBucket</Code><Message>gone</Message></Error>";
    const Case cases[] = {
        {404, xml, xml, xml},
        {403, binary, "(binary 10 bytes)", "(binary 10 bytes)"},
        {500, longText, std::string(4095, 'a') + "\xEF\xBF\xBD…（已截断，共 10000 bytes）", longText},
        {304, "", "", ""},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(c.status, {{"Content-Type", "text/plain"}}, c.body);
        });
        S3Client client;
        CapturedLog log(client);
        try {
            client.listObjects(bucketAt(server), credentials, "");
            FAIL() << "status " << c.status << " accepted";
        } catch (const S3Error& error) {
            EXPECT_EQ(error.statusCode(), c.status);
            EXPECT_TRUE(error.body() == c.errorBody) << c.status;
        }

        // The request headers exactly as sent, the signature cut to 48 characters.
        std::vector<std::string> sent;
        const std::vector<RecordedRequest> requests = server.requests();
        for (const HttpHeader& header : requests[0].headers) {
            const bool secret = header.name == "Authorization";
            ASSERT_TRUE(!secret || header.value.size() > 48);
            sent.push_back(header.name + ": " + (secret ? header.value.substr(0, 48) + "…" : header.value));
        }
        const std::string length = std::to_string(c.body.size());
        EXPECT_THAT(log.lines(), ElementsAre(testing::StartsWith("→ GET "),
                                             MatchesRegex("← " + std::to_string(c.status) +
                                                          " \\[[0-9]+ms\\] Content-Length: " + length +
                                                          "; Content-Type: text/plain"),
                                             "  request headers: " + joinedSorted(sent), "  body: " + c.loggedBody))
            << c.status;
    }
}

TEST(S3Client, RefusedRequestKeepsAtMost64KiBOfItsBody) {
    constexpr std::size_t kKept = 64 * 1024;
    const std::string note = "… (cut: only the first 64 KB of the answer were kept)";
    std::string straddling(kKept - 1, 'a');
    straddling += "é";  // its two bytes straddle the cut
    straddling += std::string(1000, 'z');
    struct Case {
        std::string body;
        std::string kept;
    };
    const Case cases[] = {
        {std::string(kKept, 'h'), std::string(kKept, 'h')},
        {std::string(3 * kKept, 'h'), std::string(kKept, 'h') + note},
        {straddling, std::string(kKept - 1, 'a') + note},
        {std::string(2 * kKept, '\xff'), "(binary 65536 bytes)" + note},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(502, {{"Content-Type", "text/html"}}, c.body);
        });
        try {
            S3Client().listPage(bucketAt(server), credentials, "", "/", std::nullopt);
            ADD_FAILURE() << "502 accepted";
        } catch (const S3Error& error) {
            EXPECT_TRUE(error.body() == c.kept) << c.body.size() << " bytes kept as " << error.body().size();
            // The description carries the body, and so the note.
            EXPECT_TRUE(std::string(error.what()).ends_with(c.kept.substr(c.kept.size() - 20)));
        }
    }
    // The same holds for an error document a success status carries.
    const std::string document = "<Error><Code>InternalError</Code><Message>" + std::string(kKept, 'm');
    EXPECT_EQ(S3Error::fromErrorDocument(200, document)->body(), document.substr(0, kKept) + note);
}

TEST(S3Client, ListingAnswerOverTheDocumentLimitFailsBeforeItArrives) {
    // 200 MiB announced, a little sent, then silence: reading on would wait a minute
    // for the idle limit and then hold the whole page in memory.
    LoopbackHttpServer server([](const RecordedRequest&) {
        ScriptedAnswer answer{"HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: 209715200\r\n\r\n"
                              "<ListBucketResult><Contents><Key>a</Key></Contents>"};
        answer.hangAfter = answer.bytes.size();
        return answer;
    });
    S3Client client;
    CapturedLog log(client);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.listObjects(bucketAt(server), credentials, ""), tarn::ResponseTooLargeError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_THAT(log.lines().back(),
                MatchesRegex("✗ \\[[0-9]+ms\\] The storage answer is larger than 64 MB; it was not read further\\."));
}

TEST(S3Client, LogMasksTheSignatureAServerEchoes) {
    const std::string signature(64, 'f');
    const std::string stringToSign =
        "AWS4-HMAC-SHA256\n20240501T000000Z\n20240501/us-east-1/s3/aws4_request\n" + std::string(64, 'c');
    const std::string canonical = "GET\n/media\nlist-type=2\nhost:127.0.0.1\n\nhost\nUNSIGNED-PAYLOAD";
    const std::string refusal =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>SignatureDoesNotMatch</Code>"
        "<Message>The request signature we calculated does not match the signature you provided.</Message>"
        "<AWSAccessKeyId>AKIDEXAMPLE</AWSAccessKeyId><StringToSign>" + stringToSign + "</StringToSign>"
        "<SignatureProvided>" + signature + "</SignatureProvided>"
        "<StringToSignBytes>41 57 53 34 2d 48 4d 41 43 2d 53 48 41 32 35 36 0a 32 30 32 34</StringToSignBytes>"
        "<CanonicalRequest>" + canonical + "</CanonicalRequest></Error>";
    const std::string masked =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>SignatureDoesNotMatch</Code>"
        "<Message>The request signature we calculated does not match the signature you provided.</Message>"
        "<AWSAccessKeyId>AKIDEXAMPLE</AWSAccessKeyId><StringToSign>" + stringToSign.substr(0, 48) + "…</StringToSign>"
        "<SignatureProvided>…</SignatureProvided>"
        "<StringToSignBytes>41 57 53 34 2d 48 4d 41 43 2d 53 48 41 32 35 36 …</StringToSignBytes>"
        "<CanonicalRequest>" + canonical + "</CanonicalRequest></Error>";
    // The same answer padded so that the log's cut at 4096 bytes falls inside the signature.
    const std::string padding(4096 - refusal.find(signature) - 10, ' ');
    const std::string padded = padding + refusal;

    struct Case {
        std::string body;
        std::string logged;
    };
    const Case cases[] = {
        {refusal, masked},
        {padded, padding + masked.substr(0, masked.find("<SignatureProvided>") + 19) + "……（已截断，共 " +
                      std::to_string(padded.size()) + " bytes）"},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(403, {{"Content-Type", "application/xml"}}, c.body);
        });
        S3Client client;
        CapturedLog log(client);
        try {
            client.listPage(bucketAt(server), credentials, "", "/", std::nullopt);
            ADD_FAILURE() << "403 accepted";
        } catch (const S3Error& error) {
            // The error itself is not logged; it keeps what the server said.
            EXPECT_EQ(error.body(), c.body);
            EXPECT_EQ(error.errorCode(), "SignatureDoesNotMatch");
        }
        EXPECT_EQ(log.lines().back(), "  body: " + c.logged);
        for (const std::string& line : log.lines()) EXPECT_EQ(line.find(signature.substr(0, 8)), std::string::npos);
    }
}

TEST(S3Client, BucketListLogsASummaryInsteadOfTheBody) {
    for (const int count : {20, 21}) {
        std::string xml = "<ListAllMyBucketsResult><Buckets>";
        std::string summary = "listBuckets(127.0.0.1) → " + std::to_string(count) + " 个桶 [";
        for (int i = 0; i < count; ++i) {
            const std::string name = "b" + std::to_string(100 + i);
            // The first bucket carries the maker's totals; the others have none.
            xml += "<Bucket><Name>" + name + "</Name>" +
                   (i == 0 ? "<StandardBytes>60</StandardBytes><ArchiveBytes>40</ArchiveBytes><Files>2</Files>" : "") +
                   "</Bucket>";
            if (i < 20) summary += (i > 0 ? ", " : "") + name + (i == 0 ? "(100B/2f)" : "(0B/0f)");
        }
        xml += "</Buckets></ListAllMyBucketsResult>";
        summary += count > 20 ? " …]" : "]";

        LoopbackHttpServer server([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, xml);
        });
        S3Client client;
        CapturedLog log(client);
        const auto buckets = client.listBuckets(*tarn::Url::parse(server.endpoint()), "us-east-1", credentials);
        ASSERT_EQ(buckets.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(buckets[0], (tarn::S3BucketInfo{"b100", 100, 2}));
        EXPECT_EQ(buckets[1], (tarn::S3BucketInfo{"b101", 0, 0}));
        EXPECT_THAT(log.lines(), ElementsAre("→ GET " + server.endpoint(),
                                             MatchesRegex("← 200 \\[[0-9]+ms\\] [0-9]+ bytes \\| .*"), summary));
        EXPECT_EQ(server.requests()[0].target, "/");
    }
}

TEST(S3Client, UnusableAnswersAndMissingServersFail) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "text/html"}}, "<html><body>portal");
    });
    S3Client client;
    CapturedLog log(client);
    EXPECT_THROW(client.listBuckets(*tarn::Url::parse(server.endpoint()), "us-east-1", credentials),
                 tarn::XmlParseError);
    // The request and the answer, but no body (never for bucket lists) and no summary.
    EXPECT_EQ(log.lines().size(), 2u);

    tarn::BucketConfig gone = bucketAt(server);
    gone.endpoint = *tarn::Url::parse("http://127.0.0.1:1");
    EXPECT_THROW(client.listPage(gone, credentials, "", "/", std::nullopt), tarn::TransportError);
    EXPECT_THAT(log.lines().back(), MatchesRegex("✗ \\[[0-9]+ms\\] Couldn't connect to server.*"));

    // Endpoints that name no host, or no server this client speaks to: nothing is sent.
    const std::size_t linesBefore = log.lines().size();
    for (const std::string endpoint : {"storage.example.com", "ftp://127.0.0.1:1/", "file:///tmp/buckets"}) {
        try {
            client.listBuckets(*tarn::Url::parse(endpoint), "us-east-1", credentials);
            ADD_FAILURE() << endpoint;
        } catch (const S3Error& error) {
            EXPECT_EQ(error.kind(), S3Error::Kind::invalidURL) << endpoint;
            EXPECT_STREQ(error.what(), "Invalid endpoint URL.");
        }
    }
    EXPECT_EQ(log.lines().size(), linesBefore);
}

TEST(S3Client, BucketListKeepsAUrlsUserAndPasswordOutOfRequestAndLog) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          "<ListAllMyBucketsResult><Buckets/></ListAllMyBucketsResult>");
    });
    S3Client client;
    CapturedLog log(client);
    const std::string endpoint = server.endpoint();
    const std::string withUser = "http://alice:pa55word@" + endpoint.substr(7) + "/base?x=1#part";
    EXPECT_TRUE(client.listBuckets(*tarn::Url::parse(withUser), "us-east-1", credentials).empty());
    // The path and query stay; the user, password and fragment go nowhere.
    EXPECT_EQ(log.lines().front(), "→ GET " + endpoint + "/base?x=1");
    for (const std::string& line : log.lines()) {
        EXPECT_EQ(line.find("alice"), std::string::npos) << line;
        EXPECT_EQ(line.find("pa55word"), std::string::npos) << line;
    }
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/base?x=1");
    for (const HttpHeader& header : server.requests()[0].headers) {
        EXPECT_EQ(header.value.find("Basic"), std::string::npos) << header.name;
    }
}

TEST(S3Client, ListingsFollowContinuationTokensToTheEnd) {
    // Tokens with characters that must survive the query encoding.
    LoopbackHttpServer server([](const RecordedRequest& request) {
        const auto query = queryOf(request.target);
        const auto token = query.contains("continuation-token") ? query.at("continuation-token") : std::nullopt;
        std::string page;
        if (query.at("prefix") == "loop/") {
            page = listPageXml({"loop/a"}, token ? "t-b" : "t-a");  // t-a, t-b, t-b, ...
        } else if (query.at("prefix") == "stub/") {
            page = listPageXml({"stub/a"}, std::nullopt);
            page.replace(page.find("false"), 5, "true");  // truncated, yet no token to go on with
        } else if (query.at("prefix") == "marker/") {
            page = listPageXml({"marker/a"}, std::nullopt);  // only the marker of the first listing version
            page.replace(page.find("<IsTruncated>false</IsTruncated>"), 32,
                         "<IsTruncated>true</IsTruncated><NextMarker>marker/a</NextMarker>");
        } else if (query.at("prefix") == "empty/") {
            page = listPageXml({"empty/a"}, "");
        } else if (!token) {
            page = listPageXml({"k/1", "k/2", "k/d1/"}, "t 1+/=");
        } else if (*token == "t 1+/=") {
            page = listPageXml({"k/3", "k/d2/"}, "t2");
        } else {
            page = listPageXml({"k/4"}, std::nullopt);
        }
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, page);
    });
    S3Client client;
    const tarn::BucketConfig bucket = bucketAt(server);

    std::vector<std::string> keys;
    for (const tarn::ObjectItem& item : client.listObjects(bucket, credentials, "k/")) keys.push_back(item.key);
    EXPECT_THAT(keys, ElementsAre("k/1", "k/2", "k/3", "k/4"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(queryOf(requests[0].target).contains("continuation-token"));
    EXPECT_FALSE(queryOf(requests[0].target).contains("delimiter"));
    EXPECT_EQ(queryOf(requests[1].target).at("continuation-token"), "t 1+/=");
    EXPECT_EQ(queryOf(requests[2].target).at("continuation-token"), "t2");

    const tarn::S3Listing all = client.list(bucket, credentials, "k/", "/");
    EXPECT_EQ(all.objects.size(), 4u);
    EXPECT_EQ(all.prefixes, (std::vector<tarn::ObjectPrefix>{{"k/d1/"}, {"k/d2/"}}));
    EXPECT_FALSE(all.isTruncated);
    EXPECT_FALSE(all.nextContinuationToken);
    EXPECT_EQ(queryOf(server.requests()[3].target).at("delimiter"), "/");

    // A truncated page that gives no way on would leave the rest of the folder out of
    // a delete, move or total: that is an unusable answer, not the end of the listing.
    std::size_t before = server.requests().size();
    for (const std::string prefix : {"stub/", "marker/", "empty/"}) {
        for (const bool flat : {true, false}) {
            try {
                if (flat) {
                    client.listObjects(bucket, credentials, prefix);
                } else {
                    client.list(bucket, credentials, prefix, "/");
                }
                ADD_FAILURE() << prefix << " taken as complete";
            } catch (const S3Error& error) {
                EXPECT_EQ(error.kind(), S3Error::Kind::unexpectedResponse) << prefix;
            }
            EXPECT_EQ(server.requests().size(), ++before) << prefix;
        }
    }

    // A token the server already handed out would never end the listing.
    EXPECT_THROW(client.listObjects(bucket, credentials, "loop/"), S3Error);
    EXPECT_EQ(server.requests().size(), before + 3);
}

TEST(S3Client, AListingThatIgnoresItsPrefixIsRefusedWhateverTheCall) {
    // A server (a gateway, a proxy, a back end that ignores letter case) that answers
    // every listing with the whole bucket, on the second page for "late/".
    LoopbackHttpServer server([](const RecordedRequest& request) {
        const auto query = queryOf(request.target);
        const bool later = query.contains("continuation-token");
        std::string page;
        if (query.at("prefix") == "late/" && !later) {
            page = listPageXml({"late/a"}, "t2");
        } else if (query.at("prefix") == "Tmp/") {
            page = listPageXml({"Tmp/a", "tmp/b"}, std::nullopt);
        } else if (query.at("prefix") == "dirs/") {
            page = listPageXml({"dirs/a", "other/"}, std::nullopt);
        } else {
            page = listPageXml({"tmp/x", "important/contract.txt"}, std::nullopt);
        }
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, page);
    });
    S3Client client;
    const tarn::BucketConfig bucket = bucketAt(server);

    struct Case {
        std::string prefix;
        std::string outside;
    };
    for (const Case& c : {Case{"tmp/", "important/contract.txt"}, Case{"late/", "tmp/x"}, Case{"Tmp/", "tmp/b"},
                          Case{"dirs/", "other/"}}) {
        const std::vector<std::function<void()>> calls{
            [&] { client.listObjects(bucket, credentials, c.prefix); },
            [&] { client.list(bucket, credentials, c.prefix, "/"); },
            [&] {
                // The first page of "late/" is sound; its second is fetched as a page too.
                std::optional<std::string> token;
                if (c.prefix == "late/") token = "t2";
                client.listPage(bucket, credentials, c.prefix, "/", token);
            },
        };
        for (const std::function<void()>& call : calls) {
            try {
                call();
                ADD_FAILURE() << c.prefix << ": the answer was taken";
            } catch (const tarn::ListingOutsidePrefixError& error) {
                EXPECT_EQ(error.prefix(), c.prefix);
                EXPECT_EQ(error.key(), c.outside);
            }
        }
    }
    // At the bucket's root every key is inside.
    EXPECT_EQ(client.listObjects(bucket, credentials, "").size(), 2u);
}

TEST(S3Client, AFolderThatIsNotBelowTheFolderListedIsRefusedWhateverTheCall) {
    // Asked for "f/", the server names "f/" itself as a sub-folder (or, at the root,
    // an empty one, or one longer than any key): a folder move or download that went
    // into it would list the same folder again, for ever.
    const std::string tooLong = "deep/" + std::string(1020, 'd') + "/";
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        const auto query = queryOf(request.target);
        const std::string prefix = query.at("prefix").value_or("");
        const std::string folder = prefix == "deep/" ? tooLong : prefix;
        const std::string page = "<ListBucketResult><Contents><Key>" + prefix + "a.txt</Key><Size>1</Size></Contents>"
                                 "<CommonPrefixes><Prefix>" + prefix + "sub/</Prefix></CommonPrefixes>"
                                 "<CommonPrefixes><Prefix>" + folder + "</Prefix></CommonPrefixes>"
                                 "<IsTruncated>false</IsTruncated></ListBucketResult>";
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, page);
    });
    S3Client client;
    const tarn::BucketConfig bucket = bucketAt(server);
    for (const auto& [prefix, folder] : {std::pair<std::string, std::string>{"f/", "f/"}, {"", ""}, {"deep/", tooLong}}) {
        const std::vector<std::function<void()>> calls{
            [&] { client.list(bucket, credentials, prefix, "/"); },
            [&] { client.listPage(bucket, credentials, prefix, "/", std::nullopt); },
        };
        for (const std::function<void()>& call : calls) {
            try {
                call();
                ADD_FAILURE() << "\"" << prefix << "\": the answer was taken";
            } catch (const tarn::FaultyListingError& error) {
                EXPECT_EQ(error.fault(), tarn::FaultyListingError::Fault::folderNotBelow);
                EXPECT_EQ(error.prefix(), prefix);
                EXPECT_EQ(error.name(), folder);
            }
        }
    }
}

TEST(S3Client, PagesArriveOneByOneAndTokensThatComeRoundEndTheListing) {
    // Page n names the token of page next(n): a few pages on the way in, then a round
    // of `round` tokens for ever; without a round, new tokens for ever.
    struct Case {
        int lead;
        int round;  // 0: no round
    };
    for (const Case c : {Case{0, 1}, Case{3, 1}, Case{0, 2}, Case{5, 3}, Case{7, 50}, Case{1, 333}}) {
        SCOPED_TRACE(testing::Message() << c.lead << " + " << c.round);
        const auto next = [c](int page) { return page + 1 < c.lead + c.round ? page + 1 : c.lead; };
        LoopbackHttpServer server([&](const RecordedRequest& request) {
            const auto token = queryOf(request.target)["continuation-token"];
            const int page = token ? std::stoi(*token) : 0;
            return LoopbackHttpServer::answer(200, {}, listPageXml({"p" + std::to_string(page)},
                                                                   std::to_string(next(page))));
        });
        S3Client client;
        std::vector<std::string> seen;
        const S3Client::PageHandler onPage = [&seen](tarn::S3Listing& page) {
            seen.push_back(page.objects.at(0).key);
        };
        try {
            client.forEachPage(bucketAt(server), credentials, "", std::nullopt, onPage);
            ADD_FAILURE() << "a listing whose tokens come round ended as complete";
        } catch (const S3Error& error) {
            EXPECT_EQ(error.kind(), S3Error::Kind::unexpectedResponse);
        }
        // Each page once and in order until the tokens repeat, which is seen within
        // a few rounds.
        ASSERT_GE(seen.size(), static_cast<std::size_t>(c.lead + c.round));
        for (int page = 0; page < c.lead + c.round; ++page) {
            EXPECT_EQ(seen[static_cast<std::size_t>(page)], "p" + std::to_string(page));
        }
        EXPECT_LE(seen.size(), static_cast<std::size_t>(2 * std::max(c.lead, c.round) + c.round + 2));
    }

    // New tokens for ever: the listing goes on until it is stopped.
    LoopbackHttpServer endless([](const RecordedRequest& request) {
        const auto token = queryOf(request.target)["continuation-token"];
        const int page = token ? std::stoi(*token) : 0;
        return LoopbackHttpServer::answer(200, {}, listPageXml({"k"}, std::to_string(page + 1)));
    });
    S3Client client;
    std::stop_source stop;
    int pages = 0;
    const S3Client::PageHandler onPage = [&](tarn::S3Listing&) {
        if (++pages == 2000) stop.request_stop();
    };
    EXPECT_THROW(client.forEachPage(bucketAt(endless), credentials, "", std::nullopt, onPage, stop.get_token()),
                 tarn::CancelledError);
    EXPECT_EQ(pages, 2000);
}

TEST(S3Client, MultipartUploadListingSendsOnlyTheMarkersGiven) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(
            200, {},
            "<ListMultipartUploadsResult><Upload><Key>big.iso</Key><UploadId>u1</UploadId></Upload>"
            "<IsTruncated>true</IsTruncated><NextKeyMarker>big.iso</NextKeyMarker>"
            "<NextUploadIdMarker>u1</NextUploadIdMarker></ListMultipartUploadsResult>");
    });
    S3Client client;
    const tarn::MultipartUploadListing listing =
        client.listMultipartUploads(bucketAt(server), credentials, std::string("a b"), std::string());
    ASSERT_EQ(listing.uploads.size(), 1u);
    EXPECT_EQ(listing.nextUploadIdMarker, "u1");
    const std::string target = server.requests()[0].target;
    EXPECT_EQ(target.substr(target.find('?')), "?uploads&max-uploads=1000&key-marker=a%20b");
}

TEST(S3Client, StopRequestEndsAListingThatWaitsForAnAnswer) {
    LoopbackHttpServer server([](const RecordedRequest&) { return ScriptedAnswer{"", 0}; });
    S3Client client;
    CapturedLog log(client);
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    EXPECT_THROW(client.listObjects(bucketAt(server), credentials, "", stop.get_token()), tarn::CancelledError);
    EXPECT_THAT(log.lines().back(), MatchesRegex("✗ \\[[0-9]+ms\\] The operation was cancelled\\."));
}

TEST(S3Client, LoggerMayChangeWhileExchangesRun) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, listPageXml({"a"}, std::nullopt));
    });
    S3Client client;
    std::atomic<bool> done = false;
    std::atomic<int> torn = 0;
    std::atomic<int> written = 0;
    const auto sink = [&](std::string_view line) {
        ++written;
        if (!line.starts_with("→ GET ") && !line.starts_with("← 200 [") && !line.starts_with("  body: <?xml")) ++torn;
    };
    // The workers start with the sink in place and the swaps begin once it has written:
    // on a loaded machine the toggler could otherwise hold an empty logger for the
    // whole run, and the test is about swaps under load, not about that race.
    client.setLogger(sink);
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < 4; ++t) {
            workers.emplace_back([&] {
                for (int i = 0; i < 25; ++i) client.listPage(bucketAt(server), credentials, "", "/", std::nullopt);
            });
        }
        std::jthread toggler([&] {
            while (written == 0 && !done) std::this_thread::yield();
            for (int i = 1; !done; ++i) {
                client.setLogger(i % 2 == 0 ? S3Client::Logger(sink) : S3Client::Logger());
                std::this_thread::yield();
            }
        });
        for (std::jthread& worker : workers) worker.join();
        done = true;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_GT(written, 0);
    client.setLogger({});
    EXPECT_FALSE(client.logger());
}
