#pragma once

#include <QList>
#include <QTextDocument>
#include <QUrl>

#include <functional>

namespace tarn {

// The document of an untrusted page, made and parsed off the interface thread and then
// handed to the page's browser. It fetches nothing itself: a plain text document would
// decode data: URLs and read local files for what a page asks for; this one asks its
// gate, and refuses everything while it has none (as it is being parsed, when a page's
// style sheets and background images are asked for), noting what was asked.
class PageDocument : public QTextDocument {
    Q_OBJECT

public:
    using Gate = std::function<QVariant(int type, const QUrl& name)>;

    explicit PageDocument(QObject* parent = nullptr);

    // Who answers the page's requests from now on.
    void setGate(Gate gate);
    // What was asked for, and refused, before there was a gate.
    const QList<QUrl>& refusedWithoutGate() const { return m_refused; }

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    Gate m_gate;
    QList<QUrl> m_refused;
};

}  // namespace tarn
