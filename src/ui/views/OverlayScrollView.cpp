#include "ui/views/OverlayScrollView.h"

#include "ui/theme/TarnStyle.h"

#include <QScrollBar>

namespace tarn {

OverlayScrollView::OverlayScrollView(QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // The scroll area asks its bars' style whether they lie over the content; under
    // another application style the bars get ours, so they still do.
    if (qobject_cast<TarnStyle*>(style()) == nullptr) {
        static TarnStyle* const overlayStyle = new TarnStyle();  // lives as long as the program
        verticalScrollBar()->setStyle(overlayStyle);
        horizontalScrollBar()->setStyle(overlayStyle);
    }
}

}  // namespace tarn
