#include "PrintoutsTWL.h"

#include "common/Services.h"
#include "common/widgets/PlacedControls.h"
#include "reports/PrintoutsChoice.h"
#include "reports/ReportDefinitions.h"
#include "store/StoreError.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

namespace reports {
namespace {

namespace Choice = PrintoutsChoice;

const QString Title = QStringLiteral("Trotwell");
const QColor DisabledListColour(0xE0, 0xE0, 0xE0); // grey: a list that offers nothing

constexpr int Margin = 12;
constexpr int FrameWidth = 200;
constexpr int OptionHeight = 26;
constexpr int ListTop = 34;
constexpr int ListHeight = 190;
constexpr int NumberWidth = 120;
constexpr int NameWidth = 210;
constexpr int ButtonWidth = 90;
constexpr int ButtonHeight = 30;

// The Print Menu offers the reports that have an option caption, in the order of the table.
std::vector<const ReportDefinition*> offeredReports() {
    std::vector<const ReportDefinition*> offered;
    for (const ReportDefinition& report : reportDefinitions())
        if (report.option)
            offered.push_back(&report);
    return offered;
}

// The exhibitor report takes its exhibitor through its work table, Exh2Prnt_tbl.
bool takesExhibitorThroughWorkTable(int kind) {
    const ReportDefinition* report = findReport(kind);
    return report && report->subjects == SubjectList::Exhibitors && report->workTable;
}

// A list that offers nothing is grey; one that offers numbers has the window's normal colours.
void paintList(QListWidget* list, bool offering) {
    if (offering) {
        list->setPalette(QPalette());
        return;
    }
    QPalette palette = list->palette();
    palette.setColor(QPalette::All, QPalette::Base, DisabledListColour);
    list->setPalette(palette);
}

} // namespace

PrintoutsTWL::PrintoutsTWL(twl::Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("PrintoutsTWL"));
    setWindowTitle(QStringLiteral("Trotwell  [Reports]"));
    buildControls();

    twl::ReportState& report = m_services.shared.report;
    report.ReportSubject.clear();
    m_titleSheet->setChecked(report.PrintTitleSheet);
    const bool show = showOpen();
    for (const auto& [kind, option] : m_options)
        option->setEnabled(show || findReport(kind)->file != ReportFile::Show);
    setListsEnabled(false);
    m_okBut->setEnabled(false); // until a report is chosen

    if (report.MemberProfileOnly) {
        m_options.at(kind::MemberProfile)->setChecked(true);
        chooseOption(kind::MemberProfile);
        m_frame->setEnabled(false);
        m_profileOnly->show();
        return;
    }
    report.ReportKind = twl::ReportState::NoKind;
    report.ScoreClass = 0;
    m_mode = ListMode::None;
    // The report chosen last time in this run is offered again.
    const auto last = m_options.find(report.LastPrintoutKind);
    if (last != m_options.end() && last->second->isEnabled()) {
        last->second->setChecked(true);
        chooseOption(last->first);
    }
}

PrintoutsTWL::~PrintoutsTWL() = default;

void PrintoutsTWL::buildControls() {
    using twl::placedButton;
    using twl::placedCheck;
    using twl::placedLabel;

    m_frame = new QGroupBox(QStringLiteral("Type of Report"), this);
    m_frame->setObjectName(QStringLiteral("Frame2"));
    const std::vector<const ReportDefinition*> offered = offeredReports();
    m_frame->setGeometry(Margin, Margin, FrameWidth, 24 + int(offered.size()) * OptionHeight + 8);
    int row = 0;
    for (const ReportDefinition* report : offered) {
        const int kind = report->kind;
        auto* option = new QRadioButton(QString::fromUtf8(report->option), m_frame);
        option->setObjectName(QStringLiteral("PrnOp_%1").arg(kind));
        option->setGeometry(10, 24 + row++ * OptionHeight, FrameWidth - 20, OptionHeight);
        connect(option, &QRadioButton::clicked, this, [this, kind] { chooseOption(kind); });
        m_options[kind] = option;
    }
    const int frameBottom = m_frame->geometry().bottom();

    m_titleSheet =
        placedCheck(QStringLiteral("Print title sheet with report."), QStringLiteral("Check4"),
                    QRect(Margin, frameBottom + 8, FrameWidth + 40, 24), this);
    connect(m_titleSheet, &QCheckBox::clicked, this,
            [this](bool checked) { m_services.shared.report.PrintTitleSheet = checked; });

    const int listsLeft = Margin + FrameWidth + Margin;
    placedLabel(QStringLiteral("Exh. No. / Member"), QStringLiteral("SelNumHeading"),
                QRect(listsLeft, Margin, NumberWidth, 20), this, Qt::AlignCenter);
    placedLabel(QStringLiteral("Exhibitor Name"), QStringLiteral("SelNamHeading"),
                QRect(listsLeft + NumberWidth + 6, Margin, NameWidth, 20), this, Qt::AlignCenter);
    m_numbers = new QListWidget(this);
    m_numbers->setObjectName(QStringLiteral("SelNum"));
    m_numbers->setGeometry(listsLeft, ListTop, NumberWidth, ListHeight);
    // A number is picked by selecting it (click or arrow keys), not by the focus entering the
    // list.
    connect(m_numbers, &QListWidget::itemSelectionChanged, this, &PrintoutsTWL::pickNumber);
    m_names = new QListWidget(this);
    m_names->setObjectName(QStringLiteral("SelNam"));
    m_names->setGeometry(listsLeft + NumberWidth + 6, ListTop, NameWidth, ListHeight);

    const int right = listsLeft + NumberWidth + 6 + NameWidth;
    m_notEnded = placedLabel(
        QStringLiteral("Not All Classes Are Ended !"), QStringLiteral("Label2"),
        QRect(listsLeft, ListTop + ListHeight + 8, right - listsLeft, 22), this, Qt::AlignCenter);
    QFont bold = m_notEnded->font();
    bold.setBold(true);
    m_notEnded->setFont(bold);
    m_notEnded->hide();
    m_profileOnly =
        placedLabel(QStringLiteral("Member Profile option only"), QStringLiteral("Label1"),
                    QRect(Margin, frameBottom + 36, FrameWidth + 40, 22), this);
    m_profileOnly->setFont(bold);
    m_profileOnly->hide();

    const int buttonsTop = ListTop + ListHeight + 40;
    m_okBut = placedButton(
        QStringLiteral("&OK"), QStringLiteral("OKBut"),
        QRect(right - 2 * ButtonWidth - 10, buttonsTop, ButtonWidth, ButtonHeight), this);
    m_canBut =
        placedButton(QStringLiteral("&Cancel"), QStringLiteral("CanBut"),
                     QRect(right - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight), this);
    connect(m_okBut, &QPushButton::clicked, this, &PrintoutsTWL::confirm);
    connect(m_canBut, &QPushButton::clicked, this, &PrintoutsTWL::reject);
    setFixedSize(right + Margin, buttonsTop + ButtonHeight + Margin);
}

// With no show open the data connection names the scratch copy of the template, or nothing:
// the show reports have nothing to print then.
bool PrintoutsTWL::showOpen() const {
    const twl::ShowSession& session = m_services.shared.session;
    return !session.ShowPath.isEmpty() && !session.ShowConnString.isEmpty();
}

void PrintoutsTWL::chooseOption(int kind) {
    twl::ReportState& report = m_services.shared.report;
    m_okBut->setEnabled(true);
    m_notEnded->hide();
    m_mode = ListMode::None;
    m_numbers->clear();
    m_names->clear();
    report.ReportSubject.clear();
    setListsEnabled(false);
    m_titleSheet->setEnabled(true);
    report.ReportKind = kind;

    if (kind == kind::EndOfShow) {
        try {
            m_notEnded->setVisible(Choice::notEndedClasses(m_services.shared.session.ShowConnString,
                                                           m_services.shared.session.TotClassUsed) >
                                   0);
        } catch (const store::StoreError& error) {
            reportReadFailure(QStringLiteral("which classes are ended"), error.message());
        }
    }
    switch (findReport(kind)->subjects) {
    case SubjectList::Exhibitors:
        fillNumbers(ListMode::Exhibitors);
        break;
    case SubjectList::Members:
        fillNumbers(ListMode::Members);
        break;
    case SubjectList::None:
        break;
    }
}

void PrintoutsTWL::fillNumbers(ListMode mode) {
    m_okBut->setEnabled(false); // until a number is picked
    const twl::ShowSession& session = m_services.shared.session;
    QStringList numbers;
    try {
        numbers = mode == ListMode::Exhibitors ? Choice::exhibitorNumbers(session.ShowConnString)
                                               : Choice::memberNumbers(session.OrgConnString);
    } catch (const store::StoreError& error) {
        reportReadFailure(mode == ListMode::Exhibitors ? QStringLiteral("the exhibitor numbers")
                                                       : QStringLiteral("the member numbers"),
                          error.message());
        return; // the lists stay grey: an unread list is not an empty one
    }
    m_mode = mode;
    setListsEnabled(true);
    {
        const QSignalBlocker quiet(m_numbers);
        m_numbers->addItems(numbers);
        m_numbers->setCurrentRow(-1);
    }
    if (mode == ListMode::Exhibitors)
        selectCurrentExhibitor();
}

void PrintoutsTWL::pickNumber() {
    const QList<QListWidgetItem*> picked = m_numbers->selectedItems();
    if (m_mode == ListMode::None || picked.isEmpty())
        return;
    const QString number = picked.first()->text();
    m_services.shared.report.ReportSubject = number;
    m_names->clear();
    const twl::ShowSession& session = m_services.shared.session;
    QStringList names;
    try {
        names = m_mode == ListMode::Exhibitors
                    ? Choice::exhibitorNames(session.ShowConnString, number)
                    : Choice::memberNames(session.OrgConnString, number);
    } catch (const store::StoreError& error) {
        reportReadFailure(QStringLiteral("the names of number ") + number, error.message());
    }
    m_names->addItems(names);
    m_names->setEnabled(true);
    if (m_names->count() > 0)
        m_names->setCurrentRow(0);
    m_okBut->setEnabled(true);
}

void PrintoutsTWL::setCurrentExhibitor(int number) {
    m_currentExhibitor = number;
    if (m_mode == ListMode::Exhibitors)
        selectCurrentExhibitor();
}

void PrintoutsTWL::selectCurrentExhibitor() {
    if (!m_currentExhibitor)
        return;
    const QList<QListWidgetItem*> found =
        m_numbers->findItems(QString::number(*m_currentExhibitor), Qt::MatchExactly);
    if (found.isEmpty())
        return;
    m_numbers->setCurrentItem(found.first());
    m_numbers->scrollToItem(found.first(), QAbstractItemView::PositionAtCenter);
}

void PrintoutsTWL::setListsEnabled(bool enabled) {
    for (QListWidget* list : {m_numbers, m_names}) {
        list->setEnabled(enabled);
        paintList(list, enabled);
    }
}

void PrintoutsTWL::confirm() {
    twl::TWL_public& shared = m_services.shared;
    if (takesExhibitorThroughWorkTable(shared.report.ReportKind)) {
        const QListWidgetItem* name = m_names->currentItem();
        try {
            Choice::writeChosenExhibitor(shared.session.ShowConnString, shared.report.ReportSubject,
                                         name ? name->text() : QString());
        } catch (const store::StoreError& error) {
            m_services.prompt.show(Title,
                                   QStringLiteral("The exhibitor could not be chosen for the "
                                                  "report.\n\n") +
                                       error.message(),
                                   twl::Prompt::Icon::Exclamation);
            return;
        }
    }
    if (!shared.report.MemberProfileOnly)
        shared.report.LastPrintoutKind = shared.report.ReportKind;
    accept();
}

void PrintoutsTWL::reportReadFailure(const QString& what, const QString& reason) {
    m_services.prompt.show(
        Title, QStringLiteral("The report selection could not read %1.\n\n").arg(what) + reason,
        twl::Prompt::Icon::Exclamation);
}

} // namespace reports
