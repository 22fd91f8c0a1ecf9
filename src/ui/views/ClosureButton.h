#pragma once

#include <QPushButton>

#include <functional>

namespace tarn {

// A button that runs a closure when clicked. Its look (flat or not, size, font,
// icon) is left to the code that places it.
class ClosureButton : public QPushButton {
    Q_OBJECT

public:
    ClosureButton(const QString& title, std::function<void()> action, QWidget* parent = nullptr);

private:
    std::function<void()> m_handler;
};

}  // namespace tarn
