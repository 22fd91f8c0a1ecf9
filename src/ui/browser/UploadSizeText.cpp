#include "ui/browser/UploadSizeText.h"

#include "core/text/ByteFormatter.h"

#include <QFontMetrics>
#include <QStringList>

#include <cmath>

namespace tarn {
namespace {

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

// The unit the byte formatter writes `total` in ("MB"), and its size in bytes.
std::pair<QString, double> unitOf(std::int64_t total)
{
    const QString written = fromStd(ByteFormatter::string(total));
    const QString unit = written.section(QLatin1Char(' '), -1);
    static const QStringList units = {QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB"),
                                      QStringLiteral("TB")};
    const auto power = units.indexOf(unit);
    return {unit, power < 0 ? 1.0 : std::ldexp(1.0, 10 * static_cast<int>(power + 1))};
}

QString whole(double value)
{
    return QString::number(static_cast<qint64>(std::llround(value)));
}

}  // namespace

QString UploadSizeText::fitted(std::int64_t sent, std::int64_t total, const QFontMetrics& metrics, int width)
{
    const auto [unit, unitBytes] = unitOf(total);
    QStringList forms{fromStd(ByteFormatter::progressString(sent, total))};
    if (unitBytes > 1) {
        const double sentInUnit = static_cast<double>(sent) / unitBytes;
        const double totalInUnit = static_cast<double>(total) / unitBytes;
        forms.append(whole(sentInUnit) + QStringLiteral(" / ") + whole(totalInUnit) + QLatin1Char(' ') + unit);
        forms.append(fromStd(ByteFormatter::string(total)));
        forms.append(whole(totalInUnit) + QLatin1Char(' ') + unit);
    } else {
        forms.append(fromStd(ByteFormatter::string(total)));
    }
    for (const QString& form : forms) {
        if (metrics.horizontalAdvance(form) <= width) {
            return form;
        }
    }
    return metrics.elidedText(forms.constLast(), Qt::ElideMiddle, width);
}

}  // namespace tarn
