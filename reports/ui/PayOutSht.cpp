#include "PayOutSht.h"

#include "common/Services.h"
#include "common/widgets/PlacedControls.h"
#include "reports/PayoutChoice.h"
#include "store/StoreError.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace reports {

namespace {

const QString Title = QStringLiteral("Trotwell");

constexpr int Margin = 12;
constexpr int ListWidth = 64;
constexpr int ListTop = 44;
constexpr int ListHeight = 200;
constexpr int InfoLeft = Margin + ListWidth + 20;
constexpr int InfoWidth = 300;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 30;

} // namespace

PayOutSht::PayOutSht(twl::Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("PayOutSht"));
    setWindowTitle(QStringLiteral("Trotwell  [Pay Out Sheet]"));
    buildControls();
    m_services.shared.report.PayoutClass = 0;
    m_skipPreview->setChecked(m_services.shared.settings.PaySkipPreview);
    loadClasses();
}

void PayOutSht::buildControls() {
    twl::placedLabel(QStringLiteral("Select"), QStringLiteral("SelLbl"),
                     QRect(Margin, 4, ListWidth, 18), this, Qt::AlignCenter);
    twl::placedLabel(QStringLiteral("Class"), QStringLiteral("ClsLbl"),
                     QRect(Margin, 22, ListWidth, 18), this, Qt::AlignCenter);
    m_classList = new QListWidget(this);
    m_classList->setObjectName(QStringLiteral("ClsLst"));
    m_classList->setGeometry(Margin, ListTop, ListWidth, ListHeight);

    twl::placedLabel(QStringLiteral("Class Description"), QStringLiteral("DescLbl"),
                     QRect(InfoLeft, ListTop, InfoWidth, 20), this,
                     Qt::AlignLeft | Qt::AlignVCenter);
    m_className = twl::placedLabel(QString(), QStringLiteral("Label2"),
                                   QRect(InfoLeft, ListTop + 22, InfoWidth, 26), this,
                                   Qt::AlignLeft | Qt::AlignVCenter);
    m_className->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    QFont bold = m_className->font();
    bold.setBold(true);
    m_className->setFont(bold);

    m_skipPreview = twl::placedCheck(QStringLiteral("Skip Print Preview"), QStringLiteral("SkpPP"),
                                     QRect(InfoLeft, ListTop + 70, InfoWidth, 24), this);

    const int buttonsTop = ListTop + ListHeight - ButtonHeight;
    m_ok = twl::placedButton(QStringLiteral("&OK"), QStringLiteral("OKBut"),
                             QRect(InfoLeft, buttonsTop, ButtonWidth, ButtonHeight), this);
    m_ok->setDefault(true); // Enter is OK
    connect(m_ok, &QPushButton::clicked, this, &PayOutSht::confirm);
    m_cancel = twl::placedButton(
        QStringLiteral("&Cancel"), QStringLiteral("CanBut"),
        QRect(InfoLeft + InfoWidth - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight), this);
    connect(m_cancel, &QPushButton::clicked, this, &PayOutSht::reject);

    setTabOrder(m_classList, m_skipPreview);
    setTabOrder(m_skipPreview, m_ok);
    setTabOrder(m_ok, m_cancel);
    setFixedSize(InfoLeft + InfoWidth + Margin, ListTop + ListHeight + Margin);
}

void PayOutSht::loadClasses() {
    std::vector<int> classes;
    try {
        classes = PayoutChoice::classesWithPayouts(m_services.shared.session.ShowConnString);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("The payouts of the show cannot be read.\n\n") + error.message(),
            twl::Prompt::Icon::Critical);
        m_result.giveUp();
        return;
    }
    if (classes.empty()) {
        m_services.prompt.show(Title, QStringLiteral("No 'Ended' classes to list... aborting"),
                               twl::Prompt::Icon::Exclamation);
        m_result.giveUp();
        return;
    }
    for (const int classNo : classes)
        m_classList->addItem(QString::number(classNo));
    // The first class is chosen at once, as a click on it would.
    connect(m_classList, &QListWidget::currentTextChanged, this, &PayOutSht::chooseClass);
    m_classList->setCurrentRow(0);
}

void PayOutSht::chooseClass(const QString& text) {
    if (m_result.gaveUp() || text.isEmpty())
        return;
    const std::optional<int> classNo = PayoutChoice::listedClass(text);
    if (!classNo)
        return;
    m_services.shared.report.PayoutClass = qint16(*classNo);
    std::optional<QString> name;
    try {
        name = PayoutChoice::className(m_services.shared.session.ShowConnString, *classNo);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("Class %1 cannot be read.\n\n").arg(*classNo) + error.message(),
            twl::Prompt::Icon::Critical);
        m_result.giveUp();
        return;
    }
    if (!name) {
        m_services.prompt.show(Title, QStringLiteral("No entries found... aborting"),
                               twl::Prompt::Icon::Exclamation);
        m_result.giveUp();
        return;
    }
    m_className->setText(*name);
}

void PayOutSht::confirm() {
    if (m_result.gaveUp() || m_classList->currentRow() < 0)
        return;
    m_services.shared.settings.PaySkipPreview = m_skipPreview->checkState() != Qt::Unchecked;
    accept();
}

void PayOutSht::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_result.gaveUp())
        m_classList->setFocus();
}

} // namespace reports
