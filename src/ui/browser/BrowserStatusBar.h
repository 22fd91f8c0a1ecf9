#pragma once

#include <QWidget>

#include <optional>

class QLabel;

namespace tarn {

class BrandProgressBar;
class BreadcrumbBar;
class StatusDotView;

// The bar below the object table, under a hairline: the status dot, the breadcrumb,
// a short note of work under way when there is one, and while transfers run the
// aggregate progress, 160 pixels wide at the right end.
class BrowserStatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int barHeight = 44;
    static constexpr int progressWidth = 160;
    static constexpr int noteGap = 12;

    explicit BrowserStatusBar(QWidget* parent = nullptr);

    StatusDotView* dot() const { return m_dot; }
    BreadcrumbBar* breadcrumb() const { return m_breadcrumb; }
    BrandProgressBar* progressBar() const { return m_progress; }
    QLabel* note() const { return m_note; }

    // Shows the progress bar at a fraction, or (none) hides it and gives its room back.
    void showProgress(std::optional<double> fraction);
    // Shows the note, or (empty) hides it.
    void showNote(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StatusDotView* m_dot;
    BreadcrumbBar* m_breadcrumb;
    BrandProgressBar* m_progress;
    QLabel* m_note;
};

}  // namespace tarn
