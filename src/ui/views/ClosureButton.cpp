#include "ui/views/ClosureButton.h"

#include <utility>

namespace tarn {

ClosureButton::ClosureButton(const QString& title, std::function<void()> action, QWidget* parent)
    : QPushButton(title, parent)
    , m_handler(std::move(action))
{
    connect(this, &QPushButton::clicked, this, [this] {
        // A copy: the closure may delete this button.
        const std::function<void()> handler = m_handler;
        if (handler) {
            handler();
        }
    });
}

}  // namespace tarn
