#include "ResetFrm.h"

#include "common/Services.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "common/widgets/PlacedControls.h"
#include "common/widgets/SafetyCatch.h"
#include "members/MemberRules.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace twl {

ResetFrm::ResetFrm(Services& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ResetFrm"));
    setWindowTitle(QStringLiteral("Trotwell  [Reset]"));
    setFixedSize(340, 214);

    QLabel* heading = placedLabel(QStringLiteral("Reset Membership"), QStringLiteral("Label1"),
                                  QRect(12, 12, 316, 24), this, Qt::AlignCenter);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_resetPoints = placedCheck(QStringLiteral("Reset Points"), QStringLiteral("Check1_0"),
                                QRect(110, 46, 200, 22), this);
    m_resetFee = placedCheck(QStringLiteral("Reset Fee"), QStringLiteral("Check1_1"),
                             QRect(110, 72, 200, 22), this);
    placedLabel(QStringLiteral(" If you want to continue resetting,"), QStringLiteral("Label3_0"),
                QRect(12, 108, 316, 20), this, Qt::AlignCenter);
    placedLabel(QStringLiteral("Press  ALT and Click OK."), QStringLiteral("Label3_1"),
                QRect(12, 128, 316, 20), this, Qt::AlignCenter);

    m_okCom =
        placedButton(QStringLiteral("&OK"), QStringLiteral("OKcom"), QRect(64, 166, 96, 30), this);
    m_canCom = placedButton(QStringLiteral("&Cancel"), QStringLiteral("CanCom"),
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
        MemberRules::resetSeason(m_services.shared.session.OrgConnString, points, fee,
                                 m_services.shared.org.OrgMemFee);
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
