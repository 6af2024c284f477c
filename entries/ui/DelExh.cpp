#include "DelExh.h"

#include "common/widgets/PlacedControls.h"
#include "common/widgets/SafetyCatch.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace twl {

namespace {

QLabel* allLabel(const QString& name, const QRect& geometry, QWidget* parent) {
    QLabel* label = placedLabel(QStringLiteral("All"), name, geometry, parent);
    label->setStyleSheet(QStringLiteral("color: #ff0000;"));
    label->hide();
    return label;
}

QRadioButton* option(const QString& caption, const QString& name, const QRect& geometry,
                     QWidget* parent) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

} // namespace

DelExh::DelExh(const ShownEntry& entry, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DelExh"));
    setWindowTitle(QStringLiteral("Trotwell  [Delete Entry]"));
    setFixedSize(400, 282);

    QLabel* question = placedLabel(QStringLiteral("Delete This Entry ?"), QStringLiteral("Label1"),
                                   QRect(12, 12, 376, 24), this, Qt::AlignCenter);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    placedLabel(QStringLiteral("Exhibitor Number:"), QStringLiteral("Label3_2"),
                QRect(12, 46, 130, 22), this, right);
    placedLabel(entry.exhibitorNo, QStringLiteral("Label5"), QRect(150, 46, 238, 22), this);
    placedLabel(QStringLiteral("Exhibitor Name:"), QStringLiteral("Label3_3"),
                QRect(12, 72, 130, 22), this, right);
    m_name =
        placedLabel(entry.exhibitorName, QStringLiteral("Label6"), QRect(150, 72, 238, 22), this);
    m_allName = allLabel(QStringLiteral("Alllbl_0"), QRect(150, 72, 238, 22), this);
    placedLabel(QStringLiteral("Class Entry"), QStringLiteral("Label3_4"), QRect(12, 98, 130, 22),
                this, right);
    m_class = placedLabel(entry.classNo, QStringLiteral("Label7"), QRect(150, 98, 238, 22), this);
    m_allClass = allLabel(QStringLiteral("Alllbl_1"), QRect(150, 98, 238, 22), this);

    QRadioButton* one = option(QStringLiteral("Delete one entry."), QStringLiteral("Option1_0"),
                               QRect(40, 130, 340, 22), this);
    QRadioButton* all = option(QStringLiteral("Delete all entries for this Exh. Number"),
                               QStringLiteral("Option1_1"), QRect(40, 154, 340, 22), this);
    one->setChecked(true);
    connect(all, &QRadioButton::toggled, this, &DelExh::chooseAll);

    placedLabel(QStringLiteral(" If you want to continue with deleting,"),
                QStringLiteral("Label3_0"), QRect(12, 186, 376, 20), this, Qt::AlignCenter);
    placedLabel(QStringLiteral("press  ALT and Click OK."), QStringLiteral("Label3_1"),
                QRect(12, 206, 376, 20), this, Qt::AlignCenter);

    QPushButton* ok =
        placedButton(QStringLiteral("&OK"), QStringLiteral("OKcom"), QRect(94, 238, 96, 30), this);
    QPushButton* cancel = placedButton(QStringLiteral("&Cancel"), QStringLiteral("CanCom"),
                                       QRect(210, 238, 96, 30), this);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_confirmed = true;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &DelExh::reject);

    new SafetyCatch(this, ok); // owned by the dialog
}

void DelExh::chooseAll(bool all) {
    m_deleteAll = all;
    m_name->setVisible(!all);
    m_class->setVisible(!all);
    m_allName->setVisible(all);
    m_allClass->setVisible(all);
}

} // namespace twl
