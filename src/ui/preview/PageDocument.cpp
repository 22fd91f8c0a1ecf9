#include "ui/preview/PageDocument.h"

#include <utility>

namespace tarn {

PageDocument::PageDocument(QObject* parent)
    : QTextDocument(parent)
{
}

void PageDocument::setGate(Gate gate)
{
    m_gate = std::move(gate);
}

QVariant PageDocument::loadResource(int type, const QUrl& name)
{
    if (m_gate) {
        // Kept, as a document keeps what it loads itself: asked again at every layout
        // and paint otherwise.
        QVariant answer = m_gate(type, name);
        if (!answer.isNull()) {
            addResource(type, name, answer);
        }
        return answer;
    }
    m_refused.append(name);
    // Nothing, not even an empty image: an image value would be made into a pixmap
    // here, off the interface thread.
    return {};
}

}  // namespace tarn
