#pragma once

#include "core/values/IsoDate.h"

#include <QColor>
#include <QString>

#include <ostream>

class QImage;
class QWidget;

// Readable failure messages for Qt values (found by GoogleTest in Qt's namespace).
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QColor& color, std::ostream* out)
{
    *out << color.name(QColor::HexArgb).toStdString();
}
QT_END_NAMESPACE

namespace tarn::test {

// Saves a grab of a widget as PNG under $TARN_SCREENSHOT_DIR, named after the
// running test ("Suite.Name.png", or "Suite.Name-variant.png"), so the look can be
// reviewed. A device pixel ratio above 1 renders it as a high-density screen would.
// Does nothing when the variable is not set. Returns the file written.
QString saveGrab(QWidget* widget, const QString& variant = {}, qreal devicePixelRatio = 1.0);

// How many pixels of an image are not fully transparent, and the highest alpha.
int paintedPixels(const QImage& image);
int maximumAlpha(const QImage& image);

// Whether two colours agree in every 8-bit channel within a tolerance (grabs round).
bool sameColor(const QColor& a, const QColor& b, int tolerance = 1);

// The contrast ratio of two opaque colours, as accessibility guidelines count it
// (1:1 to 21:1).
double contrast(const QColor& a, const QColor& b);

// A control's edge's contrast with what is outside it and with the control's own
// fill, across a vertical edge at `edgeX` (in the grab) on the row `y`: the least of
// the two, for the better of the edge's two pixel columns (the edge is antialiased).
double edgeContrast(const QImage& grab, int edgeX, int y);

// A local wall-clock time, so that date cases hold in any time zone.
TimePoint localTime(int year, int month, int day, int hour, int minute, int second = 0);

// Switches animations on or off for one scope and restores the previous setting.
class ScopedAnimations {
public:
    explicit ScopedAnimations(bool enabled);
    ~ScopedAnimations();
    ScopedAnimations(const ScopedAnimations&) = delete;
    ScopedAnimations& operator=(const ScopedAnimations&) = delete;

private:
    bool m_previous;
};

// Sets the platform's cursor flash time for one scope (0: carets do not blink, so a
// grab shows them whenever it is taken) and restores the previous one.
class ScopedCursorFlashTime {
public:
    explicit ScopedCursorFlashTime(int milliseconds);
    ~ScopedCursorFlashTime();
    ScopedCursorFlashTime(const ScopedCursorFlashTime&) = delete;
    ScopedCursorFlashTime& operator=(const ScopedCursorFlashTime&) = delete;

private:
    int m_previous;
};

}  // namespace tarn::test
