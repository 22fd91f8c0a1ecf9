#include "app/state/AppState.h"

#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "core/text/ByteFormatter.h"
#include "core/values/SaturatingSum.h"

#include <QLoggingCategory>

#include <memory>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(clipboardLog, "tarn.clipboard")

struct CopySize {
    std::size_t objects = 0;
    std::int64_t bytes = 0;

    bool withinLimits() const {
        return objects <= AppState::clipboardCopyObjectLimit && bytes <= AppState::clipboardCopyByteLimit;
    }
};

// Ends a count's walk once it has seen enough to ask.
struct LimitsPassed {};

}  // namespace

QCoro::Task<bool> AppState::confirmClipboardCopy(BucketConfig bucket, std::size_t objects, std::int64_t bytes,
                                                 std::vector<std::string> folderPrefixes) {
    const QPointer<AppState> self(this);
    CopySize size{objects, bytes};
    if (size.withinLimits() && !folderPrefixes.empty()) {
        // The count is for this bucket: once the user has left it, or the program is
        // closing, it is of no use and stops, also while the secret is still read.
        const auto leave = std::make_shared<std::stop_source>();
        const QMetaObject::Connection leaving =
            connect(this, &AppState::selectedBucketIDChanged, this, [this, leave, id = bucket.id] {
                if (m_selectedBucketID != id) leave->request_stop();
            });
        std::stop_callback closing(m_lifetimeStop.get_token(), [leave] { leave->request_stop(); });
        QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
        const std::optional<std::string> secret = co_await reading;
        if (!self) co_return false;
        if (secret && !leave->stop_requested()) {
            auto count = [&client = m_client, &bucket, &folderPrefixes, size,
                          credentials = S3Credentials{bucket.accessKeyID, *secret}, stop = leave->get_token()]() mutable {
                // No delimiter: each folder's whole tree, a page at a time, through the
                // walk that ends a listing whose continuation tokens come round again.
                const S3Client::PageHandler add = [&size](S3Listing& page) {
                    for (const ObjectItem& item : page.objects) {
                        if (item.key.ends_with('/')) continue;
                        ++size.objects;
                        size.bytes = saturatingSum(size.bytes, item.size);
                    }
                    if (!size.withinLimits()) throw LimitsPassed{};
                };
                try {
                    for (const std::string& prefix : folderPrefixes) {
                        client.forEachPage(bucket, credentials, prefix, std::nullopt, add, stop);
                    }
                } catch (const LimitsPassed&) {
                } catch (const std::exception& error) {
                    // Counted as far as it went: the paste reports the failure itself.
                    qCDebug(clipboardLog) << "a folder count for the clipboard failed:" << error.what();
                }
                return size;
            };
            size = co_await tarn::inBackground(m_folderCounts, count);
            if (!self) co_return false;
        }
        disconnect(leaving);
        if (leave->stop_requested()) co_return false;
    }
    if (size.withinLimits()) co_return true;

    const UiServices::Alert alert(
        UiServices::Alert::Style::warning, L10n::t(QStringLiteral("copy_large_title")),
        L10n::t(QStringLiteral("copy_large_message"), static_cast<qint64>(clipboardCopyObjectLimit),
                QString::fromStdString(ByteFormatter::string(clipboardCopyByteLimit))),
        L10n::t(QStringLiteral("copy")), L10n::t(QStringLiteral("cancel")));
    QCoro::Task<bool> asking = ui().showAlert(alert);
    const bool confirmed = co_await asking;
    co_return self && confirmed;
}

}  // namespace tarn
