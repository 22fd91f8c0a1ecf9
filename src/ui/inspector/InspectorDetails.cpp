#include "ui/inspector/InspectorDetails.h"

#include "app/text/L10n.h"
#include "core/config/ByteFormatter.h"
#include "core/config/ObjectPreview.h"

#include <QDateTime>
#include <QRegularExpression>

#include <chrono>

namespace tarn::InspectorDetails {

namespace {

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

// The locale's long date without the weekday and with the month's short name: what
// other desktops call the medium date. Qt offers only the short and the long one.
QString abbreviatedDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    // The weekday, with what joins it to the rest ("dddd, ", "dddd", " dddd").
    static const QRegularExpression weekday(QStringLiteral("[,\\s]*dddd[,\\s]*"));
    const QRegularExpressionMatch match = weekday.match(format);
    if (match.hasMatch()) {
        const bool atStart = match.capturedStart() == 0;
        const bool atEnd = match.capturedEnd() == format.size();
        format.replace(match.capturedStart(), match.capturedLength(),
                       atStart || atEnd ? QString() : QStringLiteral(" "));
    }
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

}  // namespace

std::vector<DetailRow> objectRows(const ObjectItem& object, const std::optional<ObjectDetails>& details,
                                  const QLocale& locale)
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
        push("modified", dateText(*object.lastModified, locale));
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

QString dateText(TimePoint date, const QLocale& locale)
{
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(milliseconds).toLocalTime();
    return locale.toString(local.date(), abbreviatedDateFormat(locale)) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::ShortFormat);
}

}  // namespace tarn::InspectorDetails
