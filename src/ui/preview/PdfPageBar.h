#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace tarn {

// The small pill under a PDF that is shown one page at a time: the previous page, the
// page shown of how many ("3 / 400000"), the next page.
class PdfPageBar : public QWidget {
    Q_OBJECT

public:
    explicit PdfPageBar(QWidget* parent = nullptr);

    // `page` counts from 0, as the document does; the text counts from 1.
    void setPage(int page, int pageCount);
    QString pageText() const;

signals:
    void previousClicked();
    void nextClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QToolButton* m_previous;
    QLabel* m_value;
    QToolButton* m_next;
};

}  // namespace tarn
