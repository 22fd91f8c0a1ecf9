#include "ui/inspector/InspectorDetails.h"

#include "app/text/L10n.h"
#include "core/preview/ObjectPreview.h"
#include "core/text/ByteFormatter.h"
#include "ui/views/DateText.h"

namespace tarn::InspectorDetails {

namespace {

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

}  // namespace

std::vector<DetailRow> objectRows(const ObjectItem& object, const std::optional<ObjectDetails>& details)
{
    std::vector<DetailRow> rows;
    auto push = [&rows](const char* labelKey, QString value, std::optional<QString> copy = std::nullopt) {
        rows.push_back({L10n::t(QString::fromLatin1(labelKey)), std::move(value), std::move(copy)});
    };
    push("name", text(object.key), text(object.key));
    push("kind", L10n::t(QStringLiteral("object")));
    const std::optional<std::string> storedType = details ? details->contentType : std::nullopt;
    push("content_type", text(storedType ? *storedType : ObjectPreview::inferredContentType(object.key)));
    push("size", text(ByteFormatter::string(object.size)));
    push("storage_class", text(object.storageClass.value_or("STANDARD")));
    if (object.lastModified) {
        push("modified", DateText::absolute(*object.lastModified));
    }
    const std::optional<std::string> eTag = details && details->eTag ? details->eTag : object.eTag;
    if (eTag) {
        push("etag", text(*eTag));
    }
    if (details) {
        // A std::map: already in ascending order of its keys.
        for (const auto& [key, value] : details->metadata) {
            rows.push_back({text(key), text(value), std::nullopt});
        }
    }
    return rows;
}

std::vector<DetailRow> folderRows(const ObjectPrefix& prefix)
{
    return {{L10n::t(QStringLiteral("name")), text(prefix.prefix), text(prefix.prefix)},
            {L10n::t(QStringLiteral("kind")), L10n::t(QStringLiteral("folder")), std::nullopt}};
}

}  // namespace tarn::InspectorDetails
