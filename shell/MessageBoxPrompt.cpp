#include "MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>

namespace twl {

namespace {

QMessageBox::Icon boxIcon(Prompt::Icon icon) {
    switch (icon) {
    case Prompt::Icon::Information:
        return QMessageBox::Information;
    case Prompt::Icon::Exclamation:
        return QMessageBox::Warning;
    case Prompt::Icon::Question:
        return QMessageBox::Question;
    case Prompt::Icon::Critical:
        return QMessageBox::Critical;
    case Prompt::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Prompt::Buttons buttons) {
    switch (buttons) {
    case Prompt::Buttons::Ok:
        return QMessageBox::Ok;
    case Prompt::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompt::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompt::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

} // namespace

Prompt::Answer MessageBoxPrompt::show(const Message& message) {
    QMessageBox box(boxIcon(message.icon), message.title, message.text, boxButtons(message.buttons),
                    m_parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::Ok;
    }
}

void MessageBoxPrompt::beep() {
    QApplication::beep();
}

} // namespace twl
