#include "DelMem.h"

#include "common/Services.h"
#include "common/widgets/PlacedControls.h"
#include "common/widgets/SafetyCatch.h"
#include "members/MemberRules.h"

#include <QLabel>
#include <QPushButton>

namespace twl {

// exec()'s result is read by the member register once the dialog has closed.
DelMem::DelMem(Services& services, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DelMem"));
    setWindowTitle(QStringLiteral("Trotwell  [Delete Member]"));
    setFixedSize(380, 214);

    QLabel* question = placedLabel(QStringLiteral("Delete This Member ?"), QStringLiteral("Label1"),
                                   QRect(12, 12, 356, 24), this);
    question->setAlignment(Qt::AlignCenter);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    placedLabel(QStringLiteral("Member Number:"), QStringLiteral("Label3_2"),
                QRect(12, 46, 110, 22), this)
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placedLabel(services.shared.session.SelectedMemberNumber, QStringLiteral("Label5"),
                QRect(130, 46, 238, 22), this);
    placedLabel(QStringLiteral("Member Name:"), QStringLiteral("Label3_3"), QRect(12, 72, 110, 22),
                this)
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placedLabel(services.shared.session.SelectedMemberName, QStringLiteral("Label6"),
                QRect(130, 72, 238, 22), this);
    placedLabel(QStringLiteral(" If you want to continue with deleting,"),
                QStringLiteral("Label3_0"), QRect(12, 108, 356, 20), this)
        ->setAlignment(Qt::AlignCenter);
    placedLabel(QStringLiteral("press  ALT and Click OK."), QStringLiteral("Label3_1"),
                QRect(12, 128, 356, 20), this)
        ->setAlignment(Qt::AlignCenter);

    m_okCom =
        placedButton(QStringLiteral("&OK"), QStringLiteral("OKcom"), QRect(84, 166, 96, 30), this);
    m_canCom = placedButton(QStringLiteral("&Cancel"), QStringLiteral("CanCom"),
                            QRect(200, 166, 96, 30), this);
    connect(m_okCom, &QPushButton::clicked, this, &DelMem::accept);
    connect(m_canCom, &QPushButton::clicked, this, &DelMem::reject);

    new SafetyCatch(this, m_okCom); // owned by the dialog
}

} // namespace twl
