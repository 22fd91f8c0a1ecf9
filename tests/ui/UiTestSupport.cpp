#include "ui/UiTestSupport.h"

#include "ui/theme/Animations.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QStyleHints>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace tarn::test {

TimePoint localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

QString saveGrab(QWidget* widget, const QString& variant, qreal devicePixelRatio)
{
    const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        return {};
    }
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = info != nullptr
                       ? QStringLiteral("%1.%2").arg(QString::fromUtf8(info->test_suite_name()), QString::fromUtf8(info->name()))
                       : QStringLiteral("grab");
    if (!variant.isEmpty()) {
        name += QLatin1Char('-') + variant;
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QDir().mkpath(folder);
    // Pending layouts and paints first, so the grab shows what a user would see.
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    QPixmap pixmap;
    if (devicePixelRatio == 1.0) {
        pixmap = widget->grab();
    } else {
        pixmap = QPixmap(widget->size() * devicePixelRatio);
        pixmap.setDevicePixelRatio(devicePixelRatio);
        widget->render(&pixmap);
    }
    EXPECT_TRUE(pixmap.save(path, "PNG")) << path.toStdString();
    return path;
}

int paintedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
        }
    }
    return count;
}

int maximumAlpha(const QImage& image)
{
    int highest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            highest = std::max(highest, qAlpha(image.pixel(x, y)));
        }
    }
    return highest;
}

bool sameColor(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double edgeContrast(const QImage& grab, int edgeX, int y)
{
    const QColor outside = grab.pixelColor(edgeX - 2, y);
    const QColor inside = grab.pixelColor(edgeX + 3, y);
    double best = 0;
    for (const int x : {edgeX, edgeX + 1}) {
        const QColor edge = grab.pixelColor(x, y);
        best = std::max(best, std::min(contrast(edge, outside), contrast(edge, inside)));
    }
    return best;
}

ScopedAnimations::ScopedAnimations(bool enabled)
    : m_previous(Animations::enabled())
{
    Animations::setEnabled(enabled);
}

ScopedAnimations::~ScopedAnimations()
{
    Animations::setEnabled(m_previous);
}

ScopedCursorFlashTime::ScopedCursorFlashTime(int milliseconds)
    : m_previous(QGuiApplication::styleHints()->cursorFlashTime())
{
    QGuiApplication::styleHints()->setCursorFlashTime(milliseconds);
}

ScopedCursorFlashTime::~ScopedCursorFlashTime()
{
    QGuiApplication::styleHints()->setCursorFlashTime(m_previous);
}

}  // namespace tarn::test
