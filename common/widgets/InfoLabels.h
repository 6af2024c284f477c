#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>

namespace twl {

// A plain caption beside a value.
inline QLabel* captionLabel(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

// A read-only value shown in a sunken box, as the tabs' counts and totals are.
inline QLabel* valueLabel(const char* name, QWidget* parent, const QString& text = QString()) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setMinimumWidth(60);
    return label;
}

} // namespace twl
