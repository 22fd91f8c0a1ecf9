#include "app/transfers/TransferCenter.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/RenameRules.h"
#include "core/storage/CancelledError.h"
#include "core/storage/S3Error.h"

#include <QStringList>

#include <algorithm>
#include <chrono>

namespace tarn {

// The state of one folder move, shared by its levels.
struct TransferCenter::FolderMove {
    Uuid id;
    BucketConfig bucket;
    S3Credentials credentials;
    // Every key below the destination before the move began, and the markers the
    // move has written since: a marker already there is kept as it is.
    KeySet existing;
    std::string topDestination;
    std::stop_token stop;
};

namespace {

// Destinations a refused folder move names; the count tells the rest.
constexpr qsizetype kNamedCollisions = 3;

// Why a rename fails in words of its own rather than the server's.
struct RenameError {
    QString message;
};

QString utf8(const std::string& value) { return QString::fromStdString(value); }

// Whether a refused move says that the object to move is not there.
bool isMissingSource(const S3Error& error) {
    const std::optional<std::string> code = error.errorCode();
    if (code == "NoSuchKey") return true;
    if (code == "InvalidArgument") {
        const std::optional<std::string> message = error.errorMessage();
        return message && message->find("Copy Source must exist") != std::string::npos;
    }
    return error.kind() == S3Error::Kind::requestFailed && error.statusCode() == 404;
}

// The failure text of a single object's move, when it has one of its own.
std::optional<QString> objectMoveFailure(const S3Error& error, const RenameSpec& spec) {
    if (isMissingSource(error)) return L10n::t(QStringLiteral("rename_source_missing"), utf8(spec.source));
    if (error.errorCode() == "InvalidMoveDest") {
        return L10n::t(QStringLiteral("move_dest_is_folder"), utf8(spec.destination));
    }
    return std::nullopt;
}

QString collisionText(const std::vector<std::string>& keys) {
    QStringList named;
    for (const std::string& key : keys) {
        if (named.size() == kNamedCollisions) {
            named.back() += QStringLiteral(" …");
            break;
        }
        named.append(utf8(key));
    }
    const auto existing = static_cast<qint64>(keys.size());
    return L10n::t(L10n::countKey(QStringLiteral("move_destinations_exist"), existing), existing,
                   named.join(QStringLiteral(", ")));
}

}  // namespace

TransferCenter::Runner TransferCenter::renameRunner() {
    return [this](Uuid id, TransferTask task, std::stop_token stop) {
        return runRename(id, std::move(task), std::move(stop));
    };
}

QCoro::Task<> TransferCenter::runRename(Uuid id, TransferTask task, std::stop_token stop) {
    const RenameSpec* spec = task.spec.rename();
    if (spec == nullptr) co_return;
    const QPointer<TransferCenter> self(this);
    QCoro::Task<std::optional<RunAccess>> starting = accessOrFail(id);
    const std::optional<RunAccess> access = co_await starting;
    if (!self || !access) co_return;
    const BucketConfig& bucket = access->bucket;
    const S3Credentials& credentials = access->credentials;
    S3Client& client = m_app.client();

    try {
        if (!spec->isFolder) {
            updateTask(id, [](TransferTask& t) { t.unitsTotal = 1; });
            const std::string& source = spec->source;
            const std::string destination = RenameRules::objectDestination(source, spec->destination);
            if (!RenameRules::isValidKeyPath(destination, false)) {
                throw RenameError{L10n::t(QStringLiteral("invalid_move_destination"), utf8(spec->destination))};
            }
            // Copying onto an object that is there would replace it without a word.
            const RenameSpec target{source, destination, false};
            auto probe = [&client, &bucket, &credentials, &target, stop] {
                return RenameRules::destinationExists(client, bucket, credentials, target, stop);
            };
            const bool taken = co_await m_app.inBackground(probe);
            if (!self) co_return;
            if (taken) throw RenameError{L10n::t(QStringLiteral("rename_destination_exists"), utf8(destination))};

            auto move = [&client, &bucket, &credentials, &source, &destination, stop] {
                client.moveObject(source, destination, bucket, credentials, stop);
            };
            try {
                co_await m_app.inBackground(move);
            } catch (const S3Error& error) {
                std::optional<QString> text = objectMoveFailure(error, *spec);
                if (!text) throw;
                throw RenameError{std::move(*text)};
            }
            if (!self) co_return;
            updateTask(id, [](TransferTask& t) { t.unitsDone = 1; });
        } else {
            const std::string source = RenameRules::folderPrefix(spec->source);
            const std::string destination = RenameRules::folderPrefix(spec->destination);
            if (!RenameRules::isValidKeyPath(destination, true)) {
                throw RenameError{L10n::t(QStringLiteral("invalid_move_destination"), utf8(spec->destination))};
            }
            // Each level would move its keys one level deeper, on and on, until the
            // keys grew too long.
            if (RenameRules::movesIntoItself(source, destination)) {
                throw RenameError{L10n::t(QStringLiteral("move_into_itself"), utf8(spec->source))};
            }

            auto listSource = [&client, &bucket, &credentials, &source, stop] {
                return client.listObjects(bucket, credentials, source, stop);
            };
            const std::vector<ObjectItem> sourceItems = co_await m_app.inBackground(listSource);
            if (!self) co_return;
            auto listDestination = [&client, &bucket, &credentials, &destination, stop] {
                return client.listObjects(bucket, credentials, destination, stop);
            };
            const std::vector<ObjectItem> destinationItems = co_await m_app.inBackground(listDestination);
            if (!self) co_return;

            FolderMove move{id, bucket, credentials, {}, destination, stop};
            for (const ObjectItem& item : destinationItems) move.existing.insert(item.key);
            // Refused before anything moves: objects already at the destination stay
            // as they are, and so does the whole source.
            std::vector<std::string> collisions;
            int objectCount = 0;
            for (const ObjectItem& item : sourceItems) {
                if (item.key.ends_with('/')) continue;
                ++objectCount;
                std::string moved = destination + item.key.substr(source.size());
                if (move.existing.contains(moved)) collisions.push_back(std::move(moved));
            }
            if (!collisions.empty()) throw RenameError{collisionText(collisions)};
            // A retried move counted its objects before; its count goes on.
            if (task.unitsTotal < 2) {
                const int total = std::max(1, objectCount);
                updateTask(id, [total](TransferTask& t) { t.unitsTotal = total; });
            }

            QCoro::Task<> moving = moveFolder(move, source, destination);
            co_await moving;
            if (!self) co_return;
        }
    } catch (const RenameError& refused) {
        if (!self || stop.stop_requested()) co_return;
        finishFailed(id, refused.message);
        co_return;
    } catch (...) {
        // Dismissed, or the program is closing: there is nobody to tell.
        if (!self || stop.stop_requested()) co_return;
        finishFailed(id, m_app.reportFailure("rename", std::current_exception()));
        co_return;
    }

    updateTask(id, [](TransferTask& t) {
        const TimePoint now = std::chrono::system_clock::now();
        t.state = TransferState::succeeded;
        t.finishedAt = now;
        t.completedAt = now;
    });
    m_app.recordHistory(L10n::t(QStringLiteral("rename_move")), utf8(spec->source + " -> " + spec->destination),
                        bucket.bucketName, true);
    markListingStaleIfCurrent(id);
    m_app.recountBucketUsage(bucket.id);
    m_app.notify(L10n::t(QStringLiteral("rename_move")), L10n::t(QStringLiteral("operation_done")));
}

QCoro::Task<> TransferCenter::moveFolder(FolderMove& move, std::string source, std::string destination) {
    if (move.stop.stop_requested()) throw CancelledError();
    const QPointer<TransferCenter> self(this);
    S3Client& client = m_app.client();

    // The destination's marker comes first, so that a move dismissed before its
    // first object leaves nothing but this marker, which the dismissal takes back.
    if (!move.existing.contains(destination)) {
        auto mark = [&client, &move, &destination] {
            client.putDirectoryMarker(destination, move.bucket, move.credentials, move.stop);
        };
        co_await m_app.inBackground(mark);
        if (!self) throw CancelledError();
        move.existing.insert(destination);
        if (destination == move.topDestination &&
            !updateTask(move.id, [](TransferTask& t) { t.wroteDestinationMarker = true; })) {
            // Dismissed while the marker was on its way: the dismissal could not know
            // of it, so it is taken back here.
            auto unmark = [&client, &move, &destination] {
                client.deleteObject(destination, move.bucket, move.credentials);
            };
            try {
                co_await m_app.inBackground(unmark);
            } catch (...) {
                // The listing shows it; nothing else was moved.
            }
            throw CancelledError();
        }
    }

    auto list = [&client, &move, &source] { return client.list(move.bucket, move.credentials, source, "/", move.stop); };
    const S3Listing level = co_await m_app.inBackground(list);
    if (!self) throw CancelledError();
    for (const ObjectItem& item : level.objects) {
        if (item.key == source || item.key.ends_with('/')) continue;
        if (move.stop.stop_requested()) throw CancelledError();
        const std::string target = destination + item.key.substr(source.size());
        auto moveOne = [&client, &move, &item, &target] {
            client.moveObject(item, target, move.bucket, move.credentials, move.stop);
        };
        co_await m_app.inBackground(moveOne);
        if (!self) throw CancelledError();
        updateTask(move.id, [](TransferTask& t) { ++t.unitsDone; });
    }
    for (const ObjectPrefix& folder : level.prefixes) {
        QCoro::Task<> deeper = moveFolder(move, folder.prefix, destination + folder.prefix.substr(source.size()));
        co_await deeper;
    }

    QCoro::Task<> removing = deleteFolderMarker(source, move.bucket, move.credentials, move.stop);
    co_await removing;
}

}  // namespace tarn
