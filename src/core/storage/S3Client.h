#pragma once

#include "core/config/ConfigModels.h"
#include "core/storage/DownloadTarget.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/LocalFile.h"
#include "core/storage/S3Request.h"
#include "core/storage/StorageModels.h"
#include "core/storage/UploadPart.h"
#include "core/values/Url.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The one storage client of the program. Every operation is a blocking call on the
// calling thread that returns its result or throws: S3Error (refused request, bad
// URL, unusable answer), XmlParseError (an answer that is not XML),
// ResponseTooLargeError (an XML answer over kMaxDocumentBytes), TransportError (no
// answer) or CancelledError (the stop token was triggered). Operations may run
// on many threads at once; the client keeps nothing between calls but the logger.
class S3Client {
public:
    // Receives one line of the request log at a time, from any thread, concurrently.
    using Logger = std::function<void(std::string_view line)>;

    S3Client();
    ~S3Client();
    S3Client(const S3Client&) = delete;
    S3Client& operator=(const S3Client&) = delete;

    // Sets, replaces or (with an empty function) removes the logger, also while
    // exchanges run: each line goes to the logger current when it is written.
    void setLogger(Logger logger);
    // The current logger; empty when there is none.
    Logger logger() const;

    // ---- Listings (S3ClientListing.cpp) ----

    // The buckets of the account at `endpoint`, with the totals of the maker's
    // service (0 and 0 elsewhere). An endpoint that is not an http or https URL with
    // a host throws S3Error::invalidURL before anything is sent.
    std::vector<S3BucketInfo> listBuckets(const Url& endpoint, const std::string& region,
                                          const S3Credentials& credentials, std::stop_token stop = {});
    // One page of objects and folders under `prefix`; an absent token asks for the
    // first page. A page that names a key or folder outside `prefix` throws
    // ListingOutsidePrefixError (so do list() and listObjects()).
    S3Listing listPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                       const std::string& delimiter, const std::optional<std::string>& continuationToken,
                       std::stop_token stop = {});
    // Every page, objects and folders each in page order; never truncated. A page that
    // says more follow but gives no continuation token throws
    // S3Error::unexpectedResponse, as the listing cannot be completed.
    S3Listing list(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                   const std::string& delimiter, std::stop_token stop = {});
    // Every object under `prefix`, flat, in page order; fails as `list` does.
    std::vector<ObjectItem> listObjects(const BucketConfig& bucket, const S3Credentials& credentials,
                                        const std::string& prefix, std::stop_token stop = {});
    // Hands every page under `prefix` (with `delimiter`, or flat without one) to
    // `onPage` as it arrives and keeps none of them, so memory stays that of one page
    // however large the listing is. Fails as `list` does, and with
    // S3Error::unexpectedResponse when the server hands back a continuation token it
    // gave before: such a listing would never end. A stop ends it with CancelledError.
    using PageHandler = std::function<void(S3Listing& page)>;
    void forEachPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                     const std::optional<std::string>& delimiter, const PageHandler& onPage,
                     std::stop_token stop = {});
    // One page of unfinished multipart uploads (at most 1,000), after the markers.
    MultipartUploadListing listMultipartUploads(const BucketConfig& bucket, const S3Credentials& credentials,
                                                const std::optional<std::string>& keyMarker,
                                                const std::optional<std::string>& uploadIdMarker,
                                                std::stop_token stop = {});

    // ---- Object operations ----

    // Progress as a fraction of the whole, 0 to 1 (a little above 1 only when a
    // server sends more than it announced). Called on the calling thread.
    using FractionProgress = std::function<void(double fraction)>;
    // Bytes of the object received into the file so far and the bytes expected (-1
    // when the server announced no length). Called on the calling thread.
    using ByteProgress = std::function<void(std::int64_t written, std::int64_t expected)>;

    // Single-request transfers (S3ClientTransfers.cpp). Downloads into files write
    // into a hidden temporary file beside the target, never hold the object in
    // memory, and replace the target only once every byte is on disk; a failed or
    // stopped download leaves an existing file untouched and no temporary file.

    // The most one upload request may carry.
    static constexpr std::int64_t kMaxUploadRequestSize = 5LL * 1024 * 1024 * 1024;

    // Stores the local file under `key` (the file's name when absent) with one PUT,
    // with the Content-Type of its extension. The file is read twice, a piece at a
    // time and never whole in memory: once for the signature's payload hash, then
    // while it goes out (see FileBody). Throws FileTooLargeError, before reading,
    // for a file above kMaxUploadRequestSize; a stop request is honoured while the
    // file is read and hashed. Progress is reported in steps of at least 0.02 and
    // ends with exactly 1.
    void upload(const LocalFile& file, const BucketConfig& bucket, const S3Credentials& credentials,
                const std::optional<std::string>& key = std::nullopt, const FractionProgress& onProgress = {},
                std::stop_token stop = {});
    // The whole object, in memory: for small objects only (it is not held to the
    // size limit of XML answers).
    std::vector<std::uint8_t> downloadData(const std::string& key, const BucketConfig& bucket,
                                           const S3Credentials& credentials, std::stop_token stop = {});
    // Saves the object as `fileName` inside `folder` (both created when missing) and
    // returns the file's path. `fileName` may be a "/"-separated path below the
    // folder, so a folder's objects keep their layout; when absent it is the key's
    // last piece. Names that would leave the folder ("..", absolute paths, a piece
    // that is a symbolic link) or that are too long to be saved are refused with
    // std::invalid_argument before anything is sent (a link planted while the
    // object arrives is refused then). Progress is reported in steps of at least
    // 0.01 and ends with 1. A body longer than its Content-Length throws
    // DownloadOverrunError.
    std::filesystem::path downloadObject(const std::string& key, const BucketConfig& bucket,
                                         const S3Credentials& credentials, const std::filesystem::path& folder,
                                         const std::optional<std::string>& fileName = std::nullopt,
                                         const FractionProgress& onProgress = {}, std::stop_token stop = {});
    // The same for a listed object, which is no longer than its listing said: an
    // answer that announces more, or a body that goes on past it, throws
    // DownloadOverrunError at once and leaves nothing behind.
    std::filesystem::path downloadObject(const ObjectItem& object, const BucketConfig& bucket,
                                         const S3Credentials& credentials, const std::filesystem::path& folder,
                                         const std::optional<std::string>& fileName = std::nullopt,
                                         const FractionProgress& onProgress = {}, std::stop_token stop = {});
    // Saves the object at `target`, creating its folder once the server has agreed
    // to send the object. Progress is reported for every piece written.
    void downloadToFile(const std::string& key, const std::filesystem::path& target, const BucketConfig& bucket,
                        const S3Credentials& credentials, const ByteProgress& onProgress = {},
                        std::stop_token stop = {});
    // The same for a place below a chosen folder (DownloadTarget::inFolder): the
    // folders below it are created without following links, and a piece that is a
    // link is refused with std::invalid_argument, before the request when it is
    // there already.
    void downloadToFile(const std::string& key, const DownloadTarget& target, const BucketConfig& bucket,
                        const S3Credentials& credentials, const ByteProgress& onProgress = {},
                        std::stop_token stop = {});
    // The same for a listed object, held to its listed size as downloadObject() holds it.
    void downloadToFile(const ObjectItem& object, const DownloadTarget& target, const BucketConfig& bucket,
                        const S3Credentials& credentials, const ByteProgress& onProgress = {},
                        std::stop_token stop = {});

    // Object head and writes (S3ClientObjects.cpp).

    // The object's stored headers and user metadata, read by a GET of its first
    // byte; size and date stay those of the listed item, its storage class too unless
    // the head names one.
    ObjectDetails details(const ObjectItem& item, const BucketConfig& bucket, const S3Credentials& credentials,
                          std::stop_token stop = {});
    // Writes the empty marker of the folder `name` inside `parentPrefix`. Throws
    // std::invalid_argument for a name that is empty or holds a "." or ".." piece.
    void createFolder(const std::string& name, const std::string& parentPrefix, const BucketConfig& bucket,
                      const S3Credentials& credentials, std::stop_token stop = {});
    // Writes an empty folder marker at exactly `key` (a key ending in "/").
    void putDirectoryMarker(const std::string& key, const BucketConfig& bucket, const S3Credentials& credentials,
                            std::stop_token stop = {});
    // The storage class the object's head names; none where it names none (S3 names
    // STANDARD so).
    std::optional<std::string> storageClass(const std::string& key, const BucketConfig& bucket,
                                            const S3Credentials& credentials, std::stop_token stop = {});
    // Moves an object inside the bucket. The maker's service moves it itself;
    // elsewhere it is copied, in its own storage class, and the source deleted only
    // once the copy succeeded. A stop request holds back neither once the copy has
    // been asked for: a copy cut off on its way may have been made, and the object
    // would stay twice. An archived object that the server will not copy throws
    // ArchivedObjectError and stays where it is. Moving an object onto its own key
    // changes nothing.
    void moveObject(const std::string& from, const std::string& to, const BucketConfig& bucket,
                    const S3Credentials& credentials, std::stop_token stop = {});
    // The same for a listed object: its listed storage class is the copy's, without
    // asking the server (a listing that names no class: as above).
    void moveObject(const ObjectItem& from, const std::string& to, const BucketConfig& bucket,
                    const S3Credentials& credentials, std::stop_token stop = {});
    void deleteObject(const std::string& key, const BucketConfig& bucket, const S3Credentials& credentials,
                      std::stop_token stop = {});
    // Deletes in batches of 1,000, one after the other. A refused batch ends the
    // operation with its error (earlier batches stay deleted). Keys that the server
    // reports as not deleted do not stop the later batches; once all have been
    // sent they are thrown as DeleteObjectsError.
    void deleteObjects(const std::vector<std::string>& keys, const BucketConfig& bucket,
                       const S3Credentials& credentials, std::stop_token stop = {});
    // Replaces the object's user metadata with `metadata` (names without the
    // "x-amz-meta-" prefix) and its content type with `contentType` when given.
    // The object's other stored headers (Content-Type when none is given,
    // Cache-Control, Content-Disposition, Content-Encoding, Content-Language,
    // Expires) and its storage class are read first and kept. Metadata that cannot
    // be sent as it stands is refused with std::invalid_argument before anything is
    // sent; an archived object the server will not copy throws ArchivedObjectError.
    void updateMetadata(const std::string& key, const std::map<std::string, std::string>& metadata,
                        const std::optional<std::string>& contentType, const BucketConfig& bucket,
                        const S3Credentials& credentials, std::stop_token stop = {});

    // ---- Multipart operations ----

    // Defined in S3ClientMultipart.cpp.

    // The answer to one part upload, whatever its status.
    struct PartResponse {
        int statusCode = 0;
        std::optional<std::string> requestID;   // "x-amz-request-id"
        std::optional<std::string> retryAfter;  // "Retry-After", raw text
        std::optional<std::string> etag;        // "ETag" of a 2xx answer; absent for any other
        // Empty for a 2xx answer; otherwise the first 4096 bytes of the body as text,
        // ill-formed UTF-8 shown as U+FFFD.
        std::string body;

        bool operator==(const PartResponse&) const = default;
    };
    // Receives the total of part bytes sent so far, about fifty times per part and
    // always once the whole part is out.
    using PartProgress = std::function<void(std::int64_t sent)>;

    // Starts a multipart upload and returns its upload ID.
    std::string createMultipartUpload(const std::string& key, const BucketConfig& bucket,
                                      const S3Credentials& credentials, const std::optional<std::string>& contentType,
                                      std::stop_token stop = {});
    // Sends part `partNumber` (from 1). Not logged: the multipart engine writes its own
    // lines. Any HTTP status is an answer, not an error. The transport reads the
    // part's bytes straight from `data`, which must not change before the call
    // returns. Throws PartStalledError when the count of bytes sent stands still for
    // `stallTimeout` (the wait for the answer included), TransportError when no answer
    // came, CancelledError on a stop request, S3Error::invalidURL.
    PartResponse uploadPart(const std::string& key, const std::string& uploadId, int partNumber,
                            std::span<const std::uint8_t> data, const BucketConfig& bucket,
                            const S3Credentials& credentials, std::chrono::duration<double> stallTimeout,
                            const PartProgress& onProgress, std::stop_token stop = {});
    // The same for a part whose bytes are read as they go out, a piece at a time, so
    // that no part is held in memory whole: `body` gives them (from the start again
    // for a resend) and `sha256Hex` is their SHA-256, taken beforehand for the
    // signature. What `body` throws ends the exchange and passes through.
    PartResponse uploadPart(const std::string& key, const std::string& uploadId, int partNumber, BodySource body,
                            const std::string& sha256Hex, const BucketConfig& bucket,
                            const S3Credentials& credentials, std::chrono::duration<double> stallTimeout,
                            const PartProgress& onProgress, std::stop_token stop = {});
    // Joins the parts, given in any order, into the object. A 200 answer counts only
    // with the completion's result document: one that carries an error document (the
    // server can fail after it has begun to answer) throws S3Error::requestFailed
    // with that document's code and message, anything else unexpectedResponse.
    void completeMultipartUpload(const std::string& key, const std::string& uploadId, std::vector<UploadPart> parts,
                                 const BucketConfig& bucket, const S3Credentials& credentials,
                                 std::stop_token stop = {});
    // Whether the server still has the unfinished upload (it may have been aborted
    // or completed meanwhile, by this program or another). Any other failure of the
    // question is thrown.
    bool multipartUploadExists(const std::string& key, const std::string& uploadId, const BucketConfig& bucket,
                               const S3Credentials& credentials, std::stop_token stop = {});
    // Drops an unfinished upload and the parts stored for it.
    void abortMultipartUpload(const std::string& key, const std::string& uploadId, const BucketConfig& bucket,
                              const S3Credentials& credentials, std::stop_token stop = {});

private:
    // ---- Requests, transport and request log (S3Client.cpp) ----

    // A request signed now with the bucket's region; see S3RequestBuilder::request.
    static S3Request signedRequest(std::string method, std::string url, const BucketConfig& bucket,
                                   const S3Credentials& credentials, std::vector<std::uint8_t> body = {},
                                   const std::optional<std::string>& contentType = std::nullopt,
                                   const std::vector<HttpHeader>& headers = {});
    static std::string_view asText(std::span<const std::uint8_t> bytes);

    // Runs one exchange of the request as it stands; HttpExchange::perform with
    // options of the caller's choosing, for example.
    using Perform = std::function<HttpResponse(const S3Request& request)>;

    // Logs the request, runs `perform`, logs the answer and returns the body of a
    // 2xx answer. Any other status throws S3Error::requestFailed; errors of
    // `perform` pass through unchanged. `logsBody`: whether a successful textual
    // body is logged.
    std::vector<std::uint8_t> send(const S3Request& request, bool logsBody, const Perform& perform);
    // The most of an answer that is read into memory as a document: a page of 1,000
    // keys is about 1 MB, and servers that ignore paging send more in one answer.
    static constexpr std::size_t kMaxDocumentBytes = 64 * 1024 * 1024;

    // The same over a plain exchange of the request and its body, whose answer (an
    // XML document, or nothing) may be at most kMaxDocumentBytes long.
    std::vector<std::uint8_t> send(const S3Request& request, bool logsBody, std::stop_token stop = {});
    // The same, returning the answer's status and headers; the success line has no
    // byte count, and a textual body is always logged. The body is dropped.
    HttpResponse sendReturningResponse(const S3Request& request, std::stop_token stop = {});
    HttpResponse sendReturningResponse(const S3Request& request, const Perform& perform);
    static Perform plainExchange(std::stop_token stop, std::optional<std::size_t> maxBodyBytes = kMaxDocumentBytes);

    // Writes one line through the current logger, if any.
    void log(std::string_view line) const;
    // Whether a logger is set; lines that take work to build are built only then.
    bool isLogging() const;
    void logBody(std::span<const std::uint8_t> body, const std::string* contentType) const;
    void logFailedRequest(const S3Request& request) const;
    // A body as the log shows it: the echoes of a signature masked, cut at 4096 bytes.
    static std::string truncatedBody(std::span<const std::uint8_t> body);
    HttpResponse transport(const S3Request& request, const Perform& perform, bool countsBytes, bool logsBody);

    // ---- Listing helpers (S3ClientListing.cpp) ----

    S3Listing fetchListPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                            const std::optional<std::string>& delimiter,
                            const std::optional<std::string>& continuationToken, std::stop_token stop);
    S3Listing allPages(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                       const std::optional<std::string>& delimiter, std::stop_token stop);

    // ---- Object operation helpers ----

    // The URL of one object; an empty key, which would name the bucket itself, is
    // refused with std::invalid_argument.
    static std::string singleObjectURL(const BucketConfig& bucket, const std::string& key);

    std::filesystem::path downloadObject(const std::string& key, std::optional<std::int64_t> listedSize,
                                         const BucketConfig& bucket, const S3Credentials& credentials,
                                         const std::filesystem::path& folder,
                                         const std::optional<std::string>& fileName,
                                         const FractionProgress& onProgress, std::stop_token stop);
    // Streams a GET of the object `key` into a staged file at `target` (its folder
    // created when the answer is a success); `onBytes` sees each piece once it is
    // written. The body may hold no more than `listedSize` (when known) and the
    // answer's Content-Length: beyond either it throws DownloadOverrunError.
    void streamToFile(const S3Request& request, const std::string& key, std::optional<std::int64_t> listedSize,
                      const DownloadTarget& target, const ByteProgress& onBytes, std::stop_token stop);
    // Copies `from` onto `to` with the extra headers; `move` asks the maker's
    // service to move instead. A success status fails unless its body is the copy's
    // result document (see S3Error::fromResultDocument).
    void copyObject(const std::string& from, const std::string& to, const BucketConfig& bucket,
                    const S3Credentials& credentials, bool move, const std::vector<HttpHeader>& headers,
                    std::stop_token stop);

    std::atomic<std::shared_ptr<const Logger>> m_logger;
};

}  // namespace tarn
