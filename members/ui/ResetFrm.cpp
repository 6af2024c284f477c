#include "ResetFrm.h"

#include "members/MemberRules.h"
#include "shell/Services.h"
#include "shell/TWL_public.h"
#include "shell/widgets/BusyCursor.h"
#include "shell/widgets/SafetyCatch.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace twl {

namespace {

QLabel* makeLabel(const QString& text, const QString& name, const QRect& geometry,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPushButton* makeButton(const QString& caption, const QString& name, const QRect& geometry,
                        QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    // Enter confirms nothing here.
    button->setAutoDefault(false);
    return button;
}

QCheckBox* makeCheck(const QString& caption, const QString& name, const QRect& geometry,
                     QWidget* parent) {
    auto* check = new QCheckBox(caption, parent);
    check->setObjectName(name);
    check->setGeometry(geometry);
    return check;
}

} // namespace

ResetFrm::ResetFrm(Services& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ResetFrm"));
    setWindowTitle(QStringLiteral("Trotwell  [Reset]"));
    setFixedSize(340, 214);

    QLabel* heading = makeLabel(QStringLiteral("Reset Membership"), QStringLiteral("Label1"),
                                QRect(12, 12, 316, 24), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_resetPoints = makeCheck(QStringLiteral("Reset Points"), QStringLiteral("Check1_0"),
                              QRect(110, 46, 200, 22), this);
    m_resetFee = makeCheck(QStringLiteral("Reset Fee"), QStringLiteral("Check1_1"),
                           QRect(110, 72, 200, 22), this);
    makeLabel(QStringLiteral(" If you want to continue resetting,"), QStringLiteral("Label3_0"),
              QRect(12, 108, 316, 20), this);
    makeLabel(QStringLiteral("Press  ALT and Click OK."), QStringLiteral("Label3_1"),
              QRect(12, 128, 316, 20), this);

    m_okCom =
        makeButton(QStringLiteral("&OK"), QStringLiteral("OKcom"), QRect(64, 166, 96, 30), this);
    m_canCom = makeButton(QStringLiteral("&Cancel"), QStringLiteral("CanCom"),
                          QRect(180, 166, 96, 30), this);
    connect(m_okCom, &QPushButton::clicked, this, &ResetFrm::resetMembers);
    connect(m_canCom, &QPushButton::clicked, this, &ResetFrm::reject);

    new SafetyCatch(this, m_okCom); // owned by the dialog
}

void ResetFrm::resetMembers() {
    const bool points = m_resetPoints->isChecked();
    const bool fee = m_resetFee->isChecked();
    try {
        const BusyCursor wait;
        MemberRules::resetSeason(TWL_public::OrgConnString, points, fee, TWL_public::OrgMemFee);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(QStringLiteral("Trotwell"),
                               QStringLiteral("The season reset could not be written; no member "
                                              "has changed.\n\n") +
                                   error.message(),
                               Prompt::Icon::Exclamation);
    }
    accept();
}

} // namespace twl
