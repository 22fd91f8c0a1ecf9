#include "app/transfers/RenameRules.h"

#include "core/preview/ObjectPreview.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"

namespace tarn::RenameRules {

bool isValidKeyPath(std::string_view key, bool isFolder) {
    if (isFolder && key.ends_with('/')) key.remove_suffix(1);
    if (key.empty()) return false;
    for (std::size_t start = 0;;) {
        const std::size_t end = key.find('/', start);
        const std::string_view piece = key.substr(start, end == std::string_view::npos ? end : end - start);
        if (piece.empty() || piece == "." || piece == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::string folderPrefix(std::string prefix) {
    if (!prefix.ends_with('/')) prefix += '/';
    return prefix;
}

std::string objectDestination(const std::string& source, const std::string& destination) {
    if (!destination.ends_with('/')) return destination;
    return destination + ObjectPreview::fileName(source);
}

bool movesIntoItself(std::string_view source, std::string_view destination) {
    return destination.starts_with(source);
}

bool isNotFound(const S3Error& error) {
    return error.kind() == S3Error::Kind::requestFailed &&
           (error.statusCode() == 404 || error.errorCode() == "NoSuchKey");
}

bool destinationExists(S3Client& client, const BucketConfig& bucket, const S3Credentials& credentials,
                       const RenameSpec& rename, std::stop_token stop) {
    if (rename.isFolder) {
        const S3Listing page = client.listPage(bucket, credentials, rename.destination, "/", std::nullopt, stop);
        return !page.objects.empty() || !page.prefixes.empty();
    }
    try {
        client.details(ObjectItem{rename.destination}, bucket, credentials, stop);
        return true;
    } catch (const S3Error& error) {
        if (isNotFound(error)) return false;
        throw;
    }
}

}  // namespace tarn::RenameRules
