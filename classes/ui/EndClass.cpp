#include "EndClass.h"

#include "classes/ClassQueries.h"
#include "classes/EndClassWriter.h"
#include "common/TWL_public.h"
#include "common/widgets/SafetyCatch.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace twl {

namespace {

const QString Title = QStringLiteral("Trotwell");
const QString NoEntries = QStringLiteral("No entries found... aborting");

constexpr int Margin = 12;
constexpr int ListWidth = 64;
constexpr int ListTop = 44;
constexpr int ListHeight = 250;
constexpr int InfoLeft = Margin + ListWidth + 20;
constexpr int InfoWidth = 400;
constexpr int ButtonWidth = 130;
constexpr int ButtonHeight = 30;

QLabel* makeLabel(const QString& text, const QRect& geometry, QWidget* parent,
                  Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

EndClass::EndClass(Services& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("EndClass"));
    setWindowTitle(QStringLiteral("Trotwell  [End Class]"));
    buildControls();
    loadClassList();
    new SafetyCatch(this, m_endClss); // owned by the screen
}

EndClass::~EndClass() = default;

void EndClass::buildControls() {
    makeLabel(QStringLiteral("Select"), QRect(Margin, 4, ListWidth, 18), this, Qt::AlignHCenter);
    makeLabel(QStringLiteral("Class"), QRect(Margin, 22, ListWidth, 18), this, Qt::AlignHCenter);
    m_classList = new QListWidget(this);
    m_classList->setObjectName(QStringLiteral("ClssLst"));
    m_classList->setGeometry(Margin, ListTop, ListWidth, ListHeight);
    connect(m_classList, &QListWidget::currentTextChanged, this, &EndClass::chooseClass);

    QFont bold = font();
    bold.setBold(true);
    makeLabel(QStringLiteral("Class:"), QRect(InfoLeft, ListTop, 50, 22), this);
    m_numberLabel = makeLabel(QString(), QRect(InfoLeft + 50, ListTop, 60, 22), this);
    m_numberLabel->setObjectName(QStringLiteral("Label2_1"));
    makeLabel(QStringLiteral("Winners"), QRect(InfoLeft + 150, ListTop, 60, 22), this);
    m_winnersLabel = makeLabel(QString(), QRect(InfoLeft + 210, ListTop, 60, 22), this);
    m_winnersLabel->setObjectName(QStringLiteral("Label2_2"));
    m_nameLabel = makeLabel(QString(), QRect(InfoLeft, ListTop + 26, InfoWidth, 22), this);
    m_nameLabel->setObjectName(QStringLiteral("Label2_0"));
    for (QLabel* label : {m_numberLabel, m_winnersLabel, m_nameLabel})
        label->setFont(bold);
    buildInformation();

    const int buttonsTop = ListTop + ListHeight - ButtonHeight;
    m_endClss = new QPushButton(QStringLiteral("&End This Class"), this);
    m_endClss->setObjectName(QStringLiteral("EndClss"));
    m_endClss->setGeometry(InfoLeft, buttonsTop, ButtonWidth, ButtonHeight);
    m_endClss->setAutoDefault(false);
    connect(m_endClss, &QPushButton::clicked, this, &EndClass::endThisClass);
    m_canBut = new QPushButton(QStringLiteral("&Cancel"), this);
    m_canBut->setObjectName(QStringLiteral("CanBut"));
    m_canBut->setGeometry(InfoLeft + InfoWidth - ButtonWidth, buttonsTop, ButtonWidth,
                          ButtonHeight);
    m_canBut->setAutoDefault(false);
    connect(m_canBut, &QPushButton::clicked, this, &EndClass::reject);
    setFixedSize(InfoLeft + InfoWidth + Margin, ListTop + ListHeight + Margin);

    m_refocusListTimer = new QTimer(this);
    m_refocusListTimer->setObjectName(QStringLiteral("Timer7"));
    m_refocusListTimer->setSingleShot(true);
    // Once the choice has settled, the keyboard is back on the class list.
    connect(m_refocusListTimer, &QTimer::timeout, this, [this] {
        m_refocusListTimer->stop();
        m_classList->setFocus();
    });
}

void EndClass::buildInformation() {
    int top = ListTop + 64;
    for (const char* text :
         {"You cannot add or delete exhibitors after ending a class.",
          "Points and payouts will be calculated and added to the member's "
          "database.",
          "Selecting 'End This Class' will end the class for this show.  ",
          " If you want to end this class,", "Press  ALT and click End This Class."}) {
        QLabel* label =
            makeLabel(QString::fromLatin1(text), QRect(InfoLeft, top, InfoWidth, 30), this);
        label->setWordWrap(true);
        top += 30;
    }
}

void EndClass::loadClassList() {
    m_classNumber = QStringLiteral("0");
    QStringList classes;
    try {
        classes = ClassQueries::endableClasses(m_services.shared.session.ShowConnString,
                                               m_services.shared.session.TotClassUsed,
                                               ClassQueries::ClassListRead::WholeRows);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("The classes of the show cannot be read.\n\n") + error.message(),
            Prompt::Icon::Critical);
        m_result.giveUp();
        return;
    }
    if (classes.isEmpty()) {
        m_services.prompt.show(Title, NoEntries, Prompt::Icon::Exclamation);
        m_result.giveUp();
        return;
    }
    prepareWriter();
    m_classList->addItems(classes);
    m_classList->setCurrentRow(0);
}

// A writer that cannot be made now is tried again at the click, which reports why.
void EndClass::prepareWriter() {
    try {
        m_writer = std::make_unique<EndClassWriter>(m_services.shared.session.ShowConnString,
                                                    m_services.shared.session.OrgConnString);
    } catch (const EndClassWriter::Failure&) {
        m_writer.reset();
    }
}

void EndClass::chooseClass(const QString& classNumber) {
    if (classNumber.isEmpty())
        return;
    m_classNumber = classNumber;
    try {
        const ClassQueries::ClassSummary summary = ClassQueries::classSummary(
            m_services.shared.session.ShowConnString, ClassQueries::classNumber(classNumber));
        m_nameLabel->setText(summary.name);
        m_numberLabel->setText(classNumber);
        m_winnersLabel->setText(QString::number(summary.winners));
    } catch (const store::StoreError& error) {
        m_services.prompt.show(Title,
                               QStringLiteral("Class %1 cannot be read.\n\n").arg(classNumber) +
                                   error.message(),
                               Prompt::Icon::Critical);
    }
    m_refocusListTimer->start(25);
}

void EndClass::endThisClass() {
    if (m_classNumber == QLatin1String("0"))
        return;
    try {
        if (!m_writer)
            m_writer = std::make_unique<EndClassWriter>(m_services.shared.session.ShowConnString,
                                                        m_services.shared.session.OrgConnString);
        const EndClassWriter::Outcome outcome =
            m_writer->run({m_classNumber,
                           {m_services.shared.org.IsPrcnt, m_services.shared.org.CutOff,
                            m_services.shared.org.MinMultiP},
                           m_services.shared.session.AppFolder,
                           m_services.shared.session.DateOfEvent});
        if (!outcome.logError.isEmpty())
            m_services.prompt.show(
                Title,
                QStringLiteral("Class %1 has been ended, but its class log \"%2\" could not be "
                               "written.\n\n%3")
                    .arg(m_classNumber, outcome.logFile, outcome.logError),
                Prompt::Icon::Exclamation);
    } catch (const EndClassWriter::Failure& failure) {
        m_services.prompt.show(Title,
                               QStringLiteral("Class %1 could not be ended. Nothing has been "
                                              "changed.\n\n%2")
                                   .arg(m_classNumber, failure.reason()),
                               Prompt::Icon::Critical);
        return;
    }
    accept();
}

void EndClass::done(int result) {
    m_writer.reset(); // the organisation file is detached from the show's connection
    QDialog::done(result);
}

} // namespace twl
