#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRect>

namespace twl {

// Controls of a fixed-layout dialog: named as the screen names them and placed at a pixel
// rectangle of their parent.
inline QLabel* placedLabel(const QString& text, const QString& name, const QRect& geometry,
                           QWidget* parent, Qt::Alignment alignment = {}) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    if (alignment)
        label->setAlignment(alignment);
    return label;
}

// A button that Enter does not press: in these dialogs Enter confirms nothing.
inline QPushButton* placedButton(const QString& caption, const QString& name, const QRect& geometry,
                                 QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

inline QCheckBox* placedCheck(const QString& caption, const QString& name, const QRect& geometry,
                              QWidget* parent) {
    auto* check = new QCheckBox(caption, parent);
    check->setObjectName(name);
    check->setGeometry(geometry);
    return check;
}

} // namespace twl
