#include "PayOutFrm.h"

#include "ScheduleGrid.h"
#include "classes/Schedules.h"
#include "common/TWL_public.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>

namespace twl {

namespace {

const QString Title = QStringLiteral("Trotwell");
constexpr int Margin = 12;
constexpr int FrameHeight = 84;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;

QColor colourOf(Schedules::Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QLineEdit* makeBox(const QString& name, const QString& caption, int top, QGroupBox* frame) {
    auto* label = new QLabel(caption, frame);
    label->setGeometry(10, top, 140, 24);
    auto* box = new QLineEdit(frame);
    box->setObjectName(name);
    box->setGeometry(150, top, 70, 24);
    return box;
}

} // namespace

PayOutFrm::PayOutFrm(Services& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("PayOutFrm"));
    setWindowTitle(QStringLiteral("Trotwell  [Pay Out Setup]"));

    m_schedule = new ScheduleGrid(m_services, ClassQueries::Schedule::Payout,
                                  QStringLiteral("Grid_D"), this);
    m_schedule->move(0, Margin);
    buildSettings(m_schedule->geometry().bottom() + Margin);

    m_cshClkTimer = new QTimer(this);
    m_cshClkTimer->setObjectName(QStringLiteral("CshClkTimer"));
    m_cshClkTimer->setSingleShot(true);
    connect(m_cshClkTimer, &QTimer::timeout, this, &PayOutFrm::enableDone);
    connect(m_schedule, &ScheduleGrid::cellTextChanged, this, &PayOutFrm::cellTextChanged);
    connect(m_schedule, &ScheduleGrid::editEnded, this, [this] { m_cshClkTimer->start(25); });
    connect(m_schedule, &ScheduleGrid::cellSaved, this, [this] { m_cshClkTimer->start(25); });

    readSettings();
    m_schedule->open();
    chooseScheme(m_services.shared.org.IsPrcnt);
}

PayOutFrm::~PayOutFrm() = default;

void PayOutFrm::buildSettings(int top) {
    const int left = m_schedule->grid()->x();
    auto* limit = new QGroupBox(QStringLiteral("Exhibitor Minimum Limit"), this);
    limit->setGeometry(left, top, 240, FrameHeight);
    m_minExh = makeBox(QStringLiteral("MinExh"), QStringLiteral("Minimum Exhibitors"), 22, limit);
    m_minMultiP =
        makeBox(QStringLiteral("MinMultiP"), QStringLiteral("If below multiply by"), 50, limit);

    auto* scheme = new QGroupBox(QStringLiteral("Pay Out Scheme"), this);
    scheme->setGeometry(left + 256, top, 200, FrameHeight);
    m_percentOption = new QRadioButton(QStringLiteral("Percent of entry fee"), scheme);
    m_percentOption->setObjectName(QStringLiteral("Option1_1"));
    m_percentOption->setGeometry(10, 22, 180, 24);
    m_dollarOption = new QRadioButton(QStringLiteral("Actual dollar value"), scheme);
    m_dollarOption->setObjectName(QStringLiteral("Option1_0"));
    m_dollarOption->setGeometry(10, 50, 180, 24);
    connect(m_percentOption, &QRadioButton::clicked, this, [this] { chooseScheme(true); });
    connect(m_dollarOption, &QRadioButton::clicked, this, [this] { chooseScheme(false); });

    m_doneBut = new QPushButton(QStringLiteral("Do&ne"), this);
    m_doneBut->setObjectName(QStringLiteral("DoneBut"));
    m_doneBut->setAutoDefault(false); // Enter belongs to the grid's cells
    const int right = m_schedule->geometry().right();
    m_doneBut->setGeometry(right - ButtonWidth, top + FrameHeight - ButtonHeight, ButtonWidth,
                           ButtonHeight);
    connect(m_doneBut, &QPushButton::clicked, this, [this] {
        if (saveSettings())
            accept();
    });
    setFixedSize(right + Margin, top + FrameHeight + Margin);
}

// The text boxes show the file's settings; the scheme in memory becomes the file's.
void PayOutFrm::readSettings() {
    try {
        store::RecordSet settings;
        settings.open(QStringLiteral("OrgData_tbl"), m_services.shared.session.OrgConnString);
        if (!settings.eof()) {
            m_minExh->setText(settings.value(QStringLiteral("CutOff")).toText());
            m_minMultiP->setText(settings.value(QStringLiteral("MinMultiP")).toText());
            m_services.shared.org.IsPrcnt = settings.value(QStringLiteral("IsPrcnt")).toBool();
        }
    } catch (const store::StoreError& error) {
        m_services.prompt.show(Title,
                               QStringLiteral("The payout settings cannot be read from the "
                                              "organisation file.\n\n") +
                                   error.message(),
                               Prompt::Icon::Critical);
    }
    m_openedPercent = m_services.shared.org.IsPrcnt;
}

void PayOutFrm::chooseScheme(bool isPercent) {
    m_services.shared.org.IsPrcnt = isPercent;
    (isPercent ? m_percentOption : m_dollarOption)->setChecked(true);
    m_schedule->setBackground(colourOf(Schedules::payoutBackground(isPercent)));
}

// Writes the scheme and the minimum-exhibitor rule, then takes them into memory.
bool PayOutFrm::saveSettings() {
    const auto cutOff = Schedules::cutOffFromText(m_minExh->text());
    const auto minMultiP = Schedules::multiplierFromText(m_minMultiP->text());
    if (!cutOff || !minMultiP) {
        m_services.prompt.show(Title,
                               !cutOff ? Schedules::CutOffRefused : Schedules::MultiplierRefused,
                               Prompt::Icon::Exclamation);
        (!cutOff ? m_minExh : m_minMultiP)->setFocus();
        return false;
    }
    try {
        store::RecordSet settings;
        settings.open(QStringLiteral("OrgData_tbl"), m_services.shared.session.OrgConnString);
        if (settings.eof())
            settings.addNew();
        settings.setValue(QStringLiteral("IsPrcnt"), store::Value(m_services.shared.org.IsPrcnt));
        settings.setValue(QStringLiteral("CutOff"), int(*cutOff));
        settings.setValue(QStringLiteral("MinMultiP"), *minMultiP);
        settings.updateBatch();
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("The payout settings could not be saved.\n\n") + error.message(),
            Prompt::Icon::Critical);
        return false;
    }
    m_services.shared.org.CutOff = *cutOff;
    m_services.shared.org.MinMultiP = *minMultiP;
    m_saved = true;
    return true;
}

void PayOutFrm::cellTextChanged() {
    m_cshClkTimer->stop();
    m_doneBut->setEnabled(false);
}

void PayOutFrm::enableDone() {
    m_cshClkTimer->stop();
    m_doneBut->setEnabled(true);
}

// A scheme chosen but not saved by Done is not kept in memory either: ending a class uses what
// the file says.
void PayOutFrm::done(int result) {
    if (!m_saved)
        m_services.shared.org.IsPrcnt = m_openedPercent;
    m_schedule->release();
    QDialog::done(result);
}

} // namespace twl
