// Cost of signing one request, against the bare OpenSSL work that signing needs.
// The goal: header signing of an empty-body request takes at most twice that work.
// BM_RawCryptoEmptyBody runs first; BM_SignHeaderEmptyBody then shows the ratio of
// the two as its counter "x_raw_crypto".
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <array>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

using namespace tarn;

namespace {

const S3Credentials kCredentials{"AKIDTARNEXAMPLE00001", "tarn/Secret+Key=Example0123456789abcdef"};
const TimePoint kTime = std::chrono::sys_days{std::chrono::year{2024} / 3 / 15} + std::chrono::hours{8};
constexpr std::string_view kRegion = "eu-central-1";

BucketConfig benchBucket() {
    BucketConfig bucket;
    bucket.bucketName = "media";
    bucket.endpoint = *Url::parse("https://s3.eu-central-1.example.com");
    bucket.region = std::string(kRegion);
    return bucket;
}

// The head read of an object: a GET of its first byte.
S3Request headRead() {
    S3Request request;
    request.url = S3RequestBuilder::objectURL(benchBucket(), "photos/2024 summer/IMG_0001.jpg");
    request.headers.push_back({"Range", "bytes=0-0"});
    return request;
}

// Wall time per iteration of the loop it is wrapped around, for the ratio.
class LoopClock {
public:
    LoopClock() : m_start(std::chrono::steady_clock::now()) {}
    double nanosecondsPer(benchmark::State& state) const {
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - m_start;
        return state.iterations() > 0 ? elapsed.count() / static_cast<double>(state.iterations()) : 0;
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

double g_rawCryptoNanoseconds = 0;

// The same digests and MACs as one empty-body signature, of the same texts, straight
// through OpenSSL with fetched algorithms and reused contexts: the floor any signer
// built on OpenSSL stands on.
class RawCrypto {
public:
    using Digest = std::array<unsigned char, 32>;

    RawCrypto()
        : m_sha256(EVP_MD_fetch(nullptr, "SHA256", nullptr)),
          m_digest(EVP_MD_CTX_new()),
          m_hmac(EVP_MAC_fetch(nullptr, "HMAC", nullptr)),
          m_mac(m_hmac ? EVP_MAC_CTX_new(m_hmac.get()) : nullptr) {
        char digestName[] = "SHA256";
        const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string("digest", digestName, 0), OSSL_PARAM_END};
        if (!m_sha256 || !m_digest || !m_mac || EVP_MAC_CTX_set_params(m_mac.get(), params) != 1) {
            throw std::runtime_error("OpenSSL setup failed");
        }
    }

    Digest sha256(std::string_view text) {
        Digest out{};
        EVP_DigestInit_ex2(m_digest.get(), m_sha256.get(), nullptr);
        EVP_DigestUpdate(m_digest.get(), text.data(), text.size());
        EVP_DigestFinal_ex(m_digest.get(), out.data(), nullptr);
        return out;
    }

    Digest hmac(const void* key, std::size_t keySize, std::string_view text) {
        Digest out{};
        std::size_t length = 0;
        EVP_MAC_init(m_mac.get(), static_cast<const unsigned char*>(key), keySize, nullptr);
        EVP_MAC_update(m_mac.get(), reinterpret_cast<const unsigned char*>(text.data()), text.size());
        EVP_MAC_final(m_mac.get(), out.data(), &length, out.size());
        return out;
    }

private:
    struct Free {
        void operator()(EVP_MD* p) const { EVP_MD_free(p); }
        void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
        void operator()(EVP_MAC* p) const { EVP_MAC_free(p); }
        void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
    };
    std::unique_ptr<EVP_MD, Free> m_sha256;
    std::unique_ptr<EVP_MD_CTX, Free> m_digest;
    std::unique_ptr<EVP_MAC, Free> m_hmac;
    std::unique_ptr<EVP_MAC_CTX, Free> m_mac;
};

void BM_RawCryptoEmptyBody(benchmark::State& state) {
    S3Request request = headRead();
    const S3Signer::SigningStages stages = S3Signer::sign(request, kRegion, kCredentials, kTime);
    const std::string seed = "AWS4" + kCredentials.secretAccessKey;
    RawCrypto crypto;
    const LoopClock clock;
    for (auto _ : state) {
        benchmark::DoNotOptimize(crypto.sha256(""));  // the payload hash
        benchmark::DoNotOptimize(crypto.sha256(stages.canonicalRequest));
        auto key = crypto.hmac(seed.data(), seed.size(), "20240315");
        key = crypto.hmac(key.data(), key.size(), kRegion);
        key = crypto.hmac(key.data(), key.size(), "s3");
        key = crypto.hmac(key.data(), key.size(), "aws4_request");
        benchmark::DoNotOptimize(crypto.hmac(key.data(), key.size(), stages.stringToSign));
    }
    g_rawCryptoNanoseconds = clock.nanosecondsPer(state);
}
BENCHMARK(BM_RawCryptoEmptyBody);

void BM_SignHeaderEmptyBody(benchmark::State& state) {
    S3Request request = headRead();
    const LoopClock clock;
    for (auto _ : state) {
        S3Signer::sign(request, kRegion, kCredentials, kTime);
        benchmark::DoNotOptimize(request.headers.back().value.data());
    }
    if (g_rawCryptoNanoseconds > 0) {
        state.counters["x_raw_crypto"] = clock.nanosecondsPer(state) / g_rawCryptoNanoseconds;
    }
}
BENCHMARK(BM_SignHeaderEmptyBody);

void BM_SignHeader1MiB(benchmark::State& state) {
    S3Request request = headRead();
    request.method = "PUT";
    request.headers.clear();
    request.body.assign(1 << 20, 0x5A);
    for (auto _ : state) {
        S3Signer::sign(request, kRegion, kCredentials, kTime);
        benchmark::DoNotOptimize(request.headers.back().value.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(BM_SignHeader1MiB);

void BM_Presign(benchmark::State& state) {
    const BucketConfig bucket = benchBucket();
    for (auto _ : state) {
        std::string url = S3RequestBuilder::presignedDownloadURL(bucket, "photos/2024 summer/IMG_0001.jpg",
                                                                 kCredentials, 3600, {}, kTime);
        benchmark::DoNotOptimize(url.data());
    }
}
BENCHMARK(BM_Presign);

}  // namespace
