#pragma once

#include <QSplitter>

#include <functional>

namespace tarn {

// A splitter whose dividers are one-pixel separator lines (with a wider grab area)
// and whose drags can be constrained by its owner: every position a drag proposes
// passes through the constraint before the divider moves.
class SeparatorSplitter : public QSplitter {
    Q_OBJECT

public:
    // Takes a proposed divider position (in the splitter's coordinates) and the
    // divider's index (0 between the first two widgets) and returns the one to use.
    using Constraint = std::function<int(int position, int dividerIndex)>;

    explicit SeparatorSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    void setConstraint(Constraint constraint) { m_constraint = std::move(constraint); }
    int constrain(int position, int dividerIndex) const;

protected:
    QSplitterHandle* createHandle() override;

private:
    Constraint m_constraint;
};

}  // namespace tarn
