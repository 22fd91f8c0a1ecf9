#pragma once

#include <QScrollArea>

namespace tarn {

// A scroll area without frame or background whose thin scroll bars lie over the
// content and show only while scrolling or under the pointer, whatever style the
// rest of the application uses.
class OverlayScrollView : public QScrollArea {
    Q_OBJECT

public:
    explicit OverlayScrollView(QWidget* parent = nullptr);
};

}  // namespace tarn
