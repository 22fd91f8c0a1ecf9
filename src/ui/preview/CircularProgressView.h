#pragma once

#include <QWidget>

namespace tarn {

class AppState;

// The ring shown while a preview file downloads: a grey circle, an arc in the accent
// colour for the part done, and the whole percent in the middle.
class CircularProgressView : public QWidget {
    Q_OBJECT

public:
    static constexpr int ringRadius = 26;

    explicit CircularProgressView(QWidget* parent = nullptr);

    // Follows the state's download fraction from now on, starting with its current one.
    void follow(const AppState& state);

    // Clamped to 0...1; a value that is not a number counts as done.
    void apply(double fraction);
    double fraction() const { return m_fraction; }
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_fraction = 0;
};

}  // namespace tarn
