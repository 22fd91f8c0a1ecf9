#pragma once

#include "ui/preview/PreviewFile.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QStackedLayout;

namespace tarn {

class PreviewNote;
class PreviewPlaceholder;

// The three faces of a preview that loads its file: blank while it loads (a read
// takes moments, and a flashing text would distract), the content (with a note under
// it when there is one), or a failure text in its place.
class PreviewPages : public QWidget {
    Q_OBJECT

public:
    // Turns the start of a file into the text a view shows; none for the failure text.
    // Runs off the interface thread: it may use only thread-safe code.
    using Convert = std::function<std::optional<QString>(const PreviewFile::Start&)>;

    PreviewPages(QWidget* content, const QString& failureText, QWidget* parent = nullptr);

    // Reads at most `cap` bytes of the file and converts them off the interface thread,
    // then hands the text to `present` and shows the content, with a note when the
    // file was cut, or shows the failure text.
    void loadText(const QString& path, qint64 cap, Convert convert, std::function<void(const QString&)> present);
    bool isLoaded() const { return m_loaded; }
    // Drops a result still to come.
    void stopLoading();

    // The content, and under it the note unless it is empty.
    void showContent(const QString& note = {});
    void showFailure();

    bool showsFailure() const;
    // The failure text while it is shown, else empty.
    QString failureText() const;
    // The note under the content; empty when there is none.
    QString noteText() const;

signals:
    void loaded();

private:
    QStackedLayout* m_pages;
    QWidget* m_contentPage;
    PreviewNote* m_note;
    PreviewPlaceholder* m_failure;
    QPointer<QObject> m_pendingRead;
    bool m_loaded = false;
};

}  // namespace tarn
