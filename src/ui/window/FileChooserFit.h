#pragma once

#include <QObject>

class QFileDialog;
class QTreeView;

namespace tarn {

// Qt's own file chooser, which serves where the desktop offers none of its own (a
// desktop's chooser is left to Qt and is not touched), as the window shows things.
// Left alone it opens at 600 × 416 with columns sized for Latin digits, so that in the
// interface font sizes ("43.…KiB") and types ("纯…档") were cut, and it writes sizes
// and dates in the system's conventions ("8 bytes", "11 Dec 2026 01:16:20") whatever
// the interface language. Fitted, it opens wide enough for its columns, the size,
// type and date columns grow to what they show whenever a folder has been read (never
// narrower than the user made them; on a screen too small for all of it the names give
// way), and sizes and dates are written as everywhere else in the window.
class FileChooserFit : public QObject {
    Q_OBJECT

public:
    // Follows the chooser from its first showing; lives as long as the chooser.
    static void install(QFileDialog* dialog);

    // The view of Qt's own chooser; null while (or when) the desktop's chooser serves.
    static QTreeView* detailView(const QFileDialog* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FileChooserFit(QFileDialog* dialog);
    void fitFirstShowing();
    void widenColumns();

    QFileDialog* m_dialog;
    bool m_fitted = false;
};

}  // namespace tarn
