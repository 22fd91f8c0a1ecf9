#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace tarn {

// One entry of the settings sheet's category list: a title that a click (or Space,
// once focused) chooses. The sheet marks the chosen one.
class SettingsSideItem : public QWidget {
    Q_OBJECT

public:
    static constexpr int itemHeight = 32;
    static constexpr int cornerRadius = 6;

    explicit SettingsSideItem(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    void setOnClick(std::function<void()> onClick) { m_onClick = std::move(onClick); }
    void setChosen(bool chosen);
    bool isChosen() const { return m_chosen; }
    void click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QLabel* m_label = nullptr;
    std::function<void()> m_onClick;
    bool m_chosen = false;
    bool m_keyboardFocus = false;
};

}  // namespace tarn
