#include "ui/window/SeparatorSplitter.h"

#include "ui/window/SeparatorSplitterHandle.h"

namespace tarn {

SeparatorSplitter::SeparatorSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    // One pixel drawn; QSplitterHandle keeps a grab area of five pixels around it.
    setHandleWidth(1);
    setOpaqueResize(true);
}

int SeparatorSplitter::constrain(int position, int dividerIndex) const
{
    return m_constraint ? m_constraint(position, dividerIndex) : position;
}

QSplitterHandle* SeparatorSplitter::createHandle()
{
    return new SeparatorSplitterHandle(orientation(), this);
}

}  // namespace tarn
