#include "ui/window/EditCommandRouter.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaMethod>
#include <QWidget>

namespace tarn {

namespace {

const char* signatureOf(EditCommandRouter::Command command)
{
    switch (command) {
    case EditCommandRouter::Command::cut:
        return "cut()";
    case EditCommandRouter::Command::copy:
        return "copy()";
    case EditCommandRouter::Command::paste:
        return "paste()";
    case EditCommandRouter::Command::selectAll:
        return "selectAll()";
    }
    return "";
}

bool invokePublicSlot(QWidget* widget, const char* signature)
{
    const QMetaObject* meta = widget->metaObject();
    const int index = meta->indexOfMethod(signature);
    if (index < 0) {
        return false;
    }
    const QMetaMethod method = meta->method(index);
    if (method.access() != QMetaMethod::Public || method.methodType() == QMetaMethod::Signal) {
        return false;
    }
    return method.invoke(widget, Qt::DirectConnection);
}

}  // namespace

bool EditCommandRouter::perform(Command command)
{
    return perform(command, QApplication::focusWidget());
}

bool EditCommandRouter::perform(Command command, QWidget* focus)
{
    // The text of an editable combo box is its line edit's.
    if (auto* combo = qobject_cast<QComboBox*>(focus); combo != nullptr && combo->lineEdit() != nullptr) {
        focus = combo->lineEdit();
    }
    const char* signature = signatureOf(command);
    for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget()) {
        if (invokePublicSlot(widget, signature)) {
            return true;
        }
        if (widget->isWindow()) {
            break;
        }
    }
    return false;
}

}  // namespace tarn
