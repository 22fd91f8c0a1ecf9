#include "app/transfers/TransferCenter.h"

#include "app/text/L10n.h"
#include "core/config/KeychainError.h"
#include "core/storage/ArchivedObjectError.h"
#include "core/storage/CancelledError.h"
#include "core/storage/DeleteObjectsError.h"
#include "core/storage/DownloadOverrunError.h"
#include "core/storage/FaultyListingError.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/FileTooLargeError.h"
#include "core/storage/ListingOutsidePrefixError.h"
#include "core/storage/LogMasking.h"
#include "core/storage/PartStalledError.h"
#include "core/storage/PartUploadError.h"
#include "core/storage/RefusedInputError.h"
#include "core/storage/ResponseTooLargeError.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"
#include "core/text/ByteFormatter.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <curl/curl.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tarn {

namespace {

// How much of an error body without a code a failure line shows.
constexpr int kBodyCharacters = 120;
// The keys a refused batch delete names: enough to recognise what went wrong.
constexpr qsizetype kNamedDeleteFailures = 3;

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }
QString utf8(const std::string& value) { return QString::fromStdString(value); }
QString bytes(std::int64_t count) { return utf8(ByteFormatter::string(count)); }

// The first `count` characters as a reader counts them (a letter with its accents, an
// emoji), never a broken one.
QString firstCharacters(const QString& value, int count) {
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, value);
    int end = 0;
    for (int taken = 0; taken < count; ++taken) {
        const qsizetype next = boundaries.toNextBoundary();
        if (next < 0) return value;
        end = static_cast<int>(next);
    }
    return value.left(end);
}

// The body of a refused request as one short line: trimmed, its lines joined with
// single spaces.
QString bodyLine(const std::string& body) {
    QString value = utf8(body).trimmed();
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = value.split(QRegularExpression(QStringLiteral("[\n\r\u2028\u2029]")));
    return firstCharacters(lines.join(QLatin1Char(' ')), kBodyCharacters);
}

QString requestFailedText(const S3Error& error) {
    const QString status = QString::number(error.statusCode().value_or(0));
    if (const std::optional<std::string> code = error.errorCode()) {
        return L10n::t(QStringLiteral("request_failed_detail"), status + QLatin1Char(' ') + utf8(*code),
                       utf8(error.errorMessage().value_or(std::string())));
    }
    return L10n::t(QStringLiteral("request_failed_detail"), status, bodyLine(LogMasking::maskedBody(error.body())));
}

// What a libcurl failure means to the user; curl codes and the socket's errno stand
// where another platform has its own network error codes.
QString networkReason(const TransportError& error) {
    switch (error.curlCode()) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return text("net_dns_failed");
    case CURLE_COULDNT_CONNECT:
        // No route at all: the machine is not on a network.
        if (error.osErrno() == ENETUNREACH || error.osErrno() == EHOSTUNREACH) return text("net_offline");
        return text("net_cannot_connect");
    case CURLE_OPERATION_TIMEDOUT:
        return text("net_timed_out");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return text("net_connection_lost");
    default:
        return error.curlMessage().empty() ? QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(error.curlCode())))
                                           : utf8(error.curlMessage());
    }
}

QString refusalText(const RefusedInputError& error) {
    const QString subject = utf8(error.subject());
    switch (error.reason()) {
    case RefusedInputError::Reason::emptyName: return text("refused_name_empty");
    case RefusedInputError::Reason::dotName: return L10n::t(QStringLiteral("refused_name_dots"), subject);
    case RefusedInputError::Reason::metadataName: return L10n::t(QStringLiteral("refused_metadata_name"), subject);
    case RefusedInputError::Reason::metadataValue: return L10n::t(QStringLiteral("refused_metadata_value"), subject);
    case RefusedInputError::Reason::metadataDuplicate:
        return L10n::t(QStringLiteral("refused_metadata_duplicate"), subject);
    case RefusedInputError::Reason::downloadName: return L10n::t(QStringLiteral("refused_download_name"), subject);
    case RefusedInputError::Reason::downloadLink: return L10n::t(QStringLiteral("refused_download_link"), subject);
    case RefusedInputError::Reason::downloadNotFolder:
        return L10n::t(QStringLiteral("refused_download_not_folder"), subject);
    case RefusedInputError::Reason::downloadFolderInTheWay:
        return L10n::t(QStringLiteral("refused_download_folder_in_way"), subject);
    }
    return utf8(error.what());
}

QString deleteFailureText(const DeleteObjectsError& error) {
    QStringList named;
    for (const DeleteFailure& failure : error.failures()) {
        if (named.size() == kNamedDeleteFailures) {
            named.back() += QStringLiteral(" …");
            break;
        }
        QString entry = utf8(failure.key);
        if (const auto& reason = failure.code ? failure.code : failure.message) entry += " (" + utf8(*reason) + ")";
        named.append(entry);
    }
    const auto refused = static_cast<qint64>(error.failures().size());
    return L10n::t(L10n::countKey(QStringLiteral("delete_objects_refused"), refused), refused,
                   static_cast<qint64>(error.requested()), named.join(QStringLiteral(", ")));
}

// The user's words for a local file or folder that could not be read or written,
// with its path, for the causes a user can act on; none for the rest, which keep the
// system's text.
std::optional<QString> localFileText(const std::filesystem::filesystem_error& error) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(error.path1().native()));
    if (dynamic_cast<const FileChangedError*>(&error) != nullptr) {
        return L10n::t(QStringLiteral("local_file_changed"), path);
    }
    const std::error_category& category = error.code().category();
    if (category != std::generic_category() && category != std::system_category()) return std::nullopt;
    switch (error.code().value()) {
    case ENOSPC:
    case EDQUOT: return L10n::t(QStringLiteral("local_no_space"), path);
    case EACCES:
    case EPERM: return L10n::t(QStringLiteral("local_no_permission"), path);
    case ENOENT: return L10n::t(QStringLiteral("local_not_found"), path);
    case EROFS: return L10n::t(QStringLiteral("local_read_only"), path);
    default: return std::nullopt;
    }
}

// A file system or socket call's own text and the errno it stands for.
QString systemErrorText(const std::system_error& failure) {
    const std::error_category& category = failure.code().category();
    QString description = QString::fromUtf8(failure.what());
    if (category == std::generic_category() || category == std::system_category()) {
        description += QStringLiteral(" (errno %1)").arg(failure.code().value());
    }
    return description;
}

// The cause of an unreadable part: a local file error in the user's words, anything
// else in its own.
QString localCause(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::filesystem::filesystem_error& caught) {
        return localFileText(caught).value_or(QString::fromUtf8(caught.what()));
    } catch (const std::exception& caught) {
        return QString::fromUtf8(caught.what());
    } catch (...) {
        return text("unknown_error");
    }
}

}  // namespace

QString TransferCenter::describe(const std::exception_ptr& error) {
    if (!error) return text("unknown_error");
    try {
        std::rethrow_exception(error);
    } catch (const CancelledError&) {
        // The user stopped it; nothing failed, least of all the network.
        return text("transfer_cancelled");
    } catch (const PartUploadError& failure) {
        if (failure.underlying() && failure.cause() == PartUploadError::Cause::transfer) {
            return L10n::t(L10n::countKey(QStringLiteral("upload_part_failed"), failure.attempts()),
                           failure.partNumber(), failure.attempts(),
                           describe(failure.underlying()));
        }
        if (failure.underlying() && failure.cause() == PartUploadError::Cause::localFile) {
            return L10n::t(QStringLiteral("upload_part_unreadable"), failure.partNumber(),
                           localCause(failure.underlying()));
        }
        return utf8(failure.errorDescription());
    } catch (const PartStalledError& stall) {
        return L10n::t(L10n::countKey(QStringLiteral("upload_part_stalled"), std::llround(stall.seconds())),
                       std::llround(stall.seconds()));
    } catch (const S3Error& failure) {
        switch (failure.kind()) {
        case S3Error::Kind::requestFailed: return requestFailedText(failure);
        case S3Error::Kind::invalidURL: return text("s3_invalid_url");
        case S3Error::Kind::missingSecret: return text("s3_missing_secret");
        case S3Error::Kind::unexpectedResponse: return text("s3_unexpected_response");
        }
        return utf8(failure.errorDescription());
    } catch (const KeychainError& failure) {
        // The keyring's own words go to the debug log only.
        switch (failure.kind()) {
        case KeychainError::Kind::unavailable: return text("keyring_unavailable");
        case KeychainError::Kind::timedOut: return text("keyring_timed_out");
        case KeychainError::Kind::failed:
            // What the keyring said (the collection is locked, say) is what the user
            // can act on.
            return failure.storeMessage().empty()
                       ? text("keyring_failed")
                       : L10n::t(QStringLiteral("keyring_failed_detail"), utf8(failure.storeMessage()));
        case KeychainError::Kind::invalidSecret: return text("keyring_invalid_secret");
        }
        return utf8(failure.errorDescription());
    } catch (const TransportError& failure) {
        return networkReason(failure) + QStringLiteral(" (curl %1)").arg(failure.curlCode());
    } catch (const DeleteObjectsError& failure) {
        return deleteFailureText(failure);
    } catch (const FileTooLargeError& failure) {
        const char* key = failure.kind() == FileTooLargeError::Limit::singleRequest ? "file_too_large_single_request"
                                                                                   : "file_too_large";
        return L10n::t(QString::fromLatin1(key), bytes(failure.fileSize()), bytes(failure.limit()));
    } catch (const ListingOutsidePrefixError& failure) {
        return L10n::t(QStringLiteral("listing_outside_prefix"), utf8(failure.prefix()), utf8(failure.key()));
    } catch (const FaultyListingError& failure) {
        if (failure.fault() == FaultyListingError::Fault::negativeSize) {
            return L10n::t(QStringLiteral("listing_negative_size"), utf8(failure.name()));
        }
        return L10n::t(QStringLiteral("listing_folder_not_below"), utf8(failure.prefix()), utf8(failure.name()));
    } catch (const DownloadOverrunError& failure) {
        return L10n::t(QStringLiteral("download_overrun"), utf8(failure.key()), bytes(failure.announced()));
    } catch (const ResponseTooLargeError& failure) {
        return L10n::t(QStringLiteral("response_too_large"), bytes(static_cast<std::int64_t>(failure.limit())));
    } catch (const RefusedInputError& refusal) {
        return refusalText(refusal);
    } catch (const ArchivedObjectError& archived) {
        return L10n::t(QStringLiteral("archived_object_not_copied"), utf8(archived.key()),
                       utf8(archived.storageClass()));
    } catch (const std::filesystem::filesystem_error& failure) {
        return localFileText(failure).value_or(systemErrorText(failure));
    } catch (const std::system_error& failure) {
        return systemErrorText(failure);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
        return text("unknown_error");
    }
}

QString TransferCenter::uploadFailureText(int failed, int itemCount, const std::optional<FailedItem>& first) {
    if (!first) return L10n::t(L10n::countKey(QStringLiteral("upload_failed_count"), failed), failed);
    if (itemCount == 1) return first->reason;
    return L10n::t(L10n::countKey(QStringLiteral("upload_failed_reason"), failed), failed, first->name, first->reason);
}

}  // namespace tarn
