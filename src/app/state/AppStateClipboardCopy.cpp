#include "app/state/AppState.h"

#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "core/config/ByteFormatter.h"

namespace tarn {

namespace {

struct CopySize {
    std::size_t objects = 0;
    std::int64_t bytes = 0;

    bool withinLimits() const {
        return objects <= AppState::clipboardCopyObjectLimit && bytes <= AppState::clipboardCopyByteLimit;
    }
};

}  // namespace

QCoro::Task<bool> AppState::confirmClipboardCopy(BucketConfig bucket, std::size_t objects, std::int64_t bytes,
                                                 std::vector<std::string> folderPrefixes) {
    const QPointer<AppState> self(this);
    CopySize size{objects, bytes};
    if (size.withinLimits() && !folderPrefixes.empty()) {
        QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
        const std::optional<std::string> secret = co_await reading;
        if (!self) co_return false;
        if (secret) {
            auto count = [&client = m_client, &bucket, &folderPrefixes, size, credentials = S3Credentials{
                                                                                  bucket.accessKeyID, *secret},
                          stop = m_lifetimeStop.get_token()]() mutable {
                try {
                    for (const std::string& prefix : folderPrefixes) {
                        std::optional<std::string> token;
                        do {
                            // No delimiter: the folder's whole tree, a page at a time.
                            S3Listing page = client.listPage(bucket, credentials, prefix, "", token, stop);
                            for (const ObjectItem& item : page.objects) {
                                if (item.key.ends_with('/')) continue;
                                ++size.objects;
                                size.bytes += item.size;
                            }
                            if (!size.withinLimits()) return size;
                            token = page.isTruncated ? std::move(page.nextContinuationToken) : std::optional<std::string>();
                        } while (token && !token->empty());
                    }
                } catch (const std::exception&) {
                    // Counted as far as it went: the paste reports the failure itself.
                }
                return size;
            };
            size = co_await inBackground(count);
            if (!self) co_return false;
        }
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
