#pragma once

#include <QMetaType>
#include <QString>

namespace tarn {

// How a toast looks: errors in red, everything else as information.
enum class ToastKind { error, info };

// A short message the state sends and the main window shows for a moment.
struct ToastMessage {
    QString text;
    ToastKind kind = ToastKind::info;

    friend bool operator==(const ToastMessage&, const ToastMessage&) = default;
};

}  // namespace tarn

Q_DECLARE_METATYPE(tarn::ToastMessage)
