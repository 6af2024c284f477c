#include "ShoDataTWL.h"

#include "common/TWL_public.h"
#include "common/widgets/BlinkingMarker.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSizePolicy>
#include <QTimer>
#include <QVBoxLayout>

namespace twl {

namespace {

// Room left of every box for the error marker.
constexpr int MarkerMargin = 24;

} // namespace

ShoDataTWL::ShoDataTWL(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ShoDataTWL"));
    setWindowTitle(QStringLiteral("Trotwell  [Show Information]"));
    setModal(true);
    buildControls();
    loadValues();
}

void ShoDataTWL::addBox(QGridLayout* grid, int index, const QString& label, int row, int column,
                        int columnSpan, int width, QWidget* beside) {
    auto* field = new QVBoxLayout;
    field->setSpacing(2);
    auto* caption = new QLabel(label, this);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("ShoTx_%1").arg(index));
    caption->setBuddy(edit);
    field->addWidget(caption);
    auto* line = new QHBoxLayout;
    line->setSpacing(8);
    line->addWidget(edit);
    if (width > 0)
        edit->setFixedWidth(width);
    if (beside)
        line->addWidget(beside);
    if (width > 0 || beside)
        line->addStretch();
    field->addLayout(line);
    grid->addLayout(field, row, column, 1, columnSpan);
    m_boxes[size_t(index)] = edit;
    connect(edit, &QLineEdit::textChanged, m_classError, &QWidget::hide);
}

void ShoDataTWL::buildControls() {
    m_classError = new QLabel(QStringLiteral("Classes not empty."), this);
    m_classError->setObjectName(QStringLiteral("Label1"));
    m_classError->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_classError->hide();
    // The label's place stays free while it is hidden, so that nothing moves when it shows.
    QSizePolicy keepPlace = m_classError->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_classError->setSizePolicy(keepPlace);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(MarkerMargin + 4);
    grid->setVerticalSpacing(10);
    addBox(grid, DetailsRules::ShowName, QStringLiteral("Name of show  (50 Chars)"), 0, 0, 2);
    addBox(grid, DetailsRules::ShowCity, QStringLiteral("City   (30 Chars)"), 1, 0);
    addBox(grid, DetailsRules::ShowState, QStringLiteral("State / Providence   (30 Chars)"), 1, 1);
    addBox(grid, DetailsRules::ShowDate, QStringLiteral("Date of show"), 2, 0, 1, 130);
    addBox(grid, DetailsRules::ShowClasses,
           QStringLiteral("Total classes used in this show  (1-150)"), 2, 1, 1, 60, m_classError);
    addBox(grid, DetailsRules::ShowFootNote, QStringLiteral("Footnote   (110 Chars)"), 3, 0, 2);
    grid->setColumnMinimumWidth(0, 220);
    grid->setColumnMinimumWidth(1, 220);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OkBut"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CanBut"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(MarkerMargin, 12, 16, 12);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    m_marker = new BlinkingMarker(this, QStringLiteral("ErrDot2"), QStringLiteral("ShoTimer"));

    connect(m_ok, &QPushButton::clicked, this, &ShoDataTWL::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ShoDataTWL::loadValues() {
    box(DetailsRules::ShowName)->setText(m_services.shared.session.ShoName);
    box(DetailsRules::ShowCity)->setText(m_services.shared.session.ShoCity);
    box(DetailsRules::ShowState)->setText(m_services.shared.session.ShoState);
    box(DetailsRules::ShowDate)
        ->setText(DetailsRules::showDateText(m_services.shared.session.DateOfEvent));
    box(DetailsRules::ShowClasses)
        ->setText(QString::number(m_services.shared.session.TotClassUsed));
    box(DetailsRules::ShowFootNote)->setText(m_services.shared.session.FootNote);
}

DetailsRules::ShowBoxes ShoDataTWL::boxTexts() const {
    DetailsRules::ShowBoxes texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = m_boxes[i]->text();
    return texts;
}

void ShoDataTWL::onOk() {
    clearFailure();
    const DetailsRules::ShowBoxes texts = boxTexts();
    try {
        const auto failure = DetailsRules::checkShowInformation(texts, [this](int n) {
            return DetailsRules::entriesAboveClass(m_services.shared.session.ShowConnString, n);
        });
        if (failure) {
            showFailure(*failure);
            return;
        }
        save(texts);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(QStringLiteral("Trotwell"), error.message(),
                               Prompt::Icon::Exclamation);
        return;
    }
    accept();
}

// Writes the row, then takes the values back from it, so that memory holds what the file
// holds. Nothing in memory changes unless the write succeeds.
void ShoDataTWL::save(const DetailsRules::ShowBoxes& texts) {
    store::RecordSet row;
    row.open(QStringLiteral("ShowData_tbl"), m_services.shared.session.ShowConnString);
    row.moveFirst();
    if (row.eof())
        row.addNew();
    row.setValue(QStringLiteral("ShoName"), texts[DetailsRules::ShowName]);
    row.setValue(QStringLiteral("ShoCity"), texts[DetailsRules::ShowCity]);
    row.setValue(QStringLiteral("ShoState"), texts[DetailsRules::ShowState]);
    row.setValue(QStringLiteral("DateOfEvent"),
                 DetailsRules::showDate(texts[DetailsRules::ShowDate]).value_or(QDate()));
    row.setValue(QStringLiteral("TotClassUsed"),
                 qint64(DetailsRules::totalClasses(texts[DetailsRules::ShowClasses]).value_or(0)));
    row.setValue(QStringLiteral("FootNote"), texts[DetailsRules::ShowFootNote]);
    row.updateBatch();

    m_services.shared.session.ShoName = row.value(QStringLiteral("ShoName")).toText();
    m_services.shared.session.ShoCity = row.value(QStringLiteral("ShoCity")).toText();
    m_services.shared.session.ShoState = row.value(QStringLiteral("ShoState")).toText();
    m_services.shared.session.DateOfEvent = row.value(QStringLiteral("DateOfEvent")).toDate();
    m_services.shared.session.TotClassUsed =
        qint16(row.value(QStringLiteral("TotClassUsed")).toInt());
    m_services.shared.session.FootNote = row.value(QStringLiteral("FootNote")).toText();
}

void ShoDataTWL::showFailure(const DetailsRules::Failure& failure) {
    QLineEdit* failed = box(failure.box);
    if (layout())
        layout()->activate();
    m_marker->showAt(DetailsRules::errorMarkerPosition(failed->mapTo(this, QPoint(0, 0))));
    m_classError->setVisible(failure.classesNotEmpty);
    failed->setFocus();
    failed->selectAll();
}

void ShoDataTWL::clearFailure() {
    m_marker->stop();
    m_classError->hide();
}

} // namespace twl
