#include "OrgDataTWL.h"

#include "common/Formats.h"
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
#include <QTimer>
#include <QVBoxLayout>

namespace twl {

namespace {

// Room left of every box for the error marker.
constexpr int MarkerMargin = 24;

// The text fields of OrgData_tbl behind boxes 0 to 8, in box order.
constexpr std::array<const char*, DetailsRules::OrgFeeBox> TextFields{
    "OrgName", "OrgAdd1",  "OrgAdd2", "OrgCity", "OrgState",
    "OrgZip",  "OrgPhone", "OrgFax",  "OrgEmail"};

// Where each text field's value is kept in memory, in box order.
std::array<QString*, DetailsRules::OrgFeeBox> memoryFields(OrgDetails& org) {
    return {&org.OrgName, &org.OrgAdd1,  &org.OrgAdd2, &org.OrgCity, &org.OrgState,
            &org.OrgZip,  &org.OrgPhone, &org.OrgFax,  &org.OrgEmail};
}

} // namespace

OrgDataTWL::OrgDataTWL(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("OrgDataTWL"));
    setWindowTitle(QStringLiteral("Trotwell  [Organization]"));
    setModal(true);
    buildControls();
    loadValues();
}

void OrgDataTWL::addBox(QGridLayout* grid, int index, const QString& label, int row, int column,
                        int columnSpan) {
    auto* field = new QVBoxLayout;
    field->setSpacing(2);
    auto* caption = new QLabel(label, this);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("OrgTx_%1").arg(index));
    caption->setBuddy(edit);
    field->addWidget(caption);
    field->addWidget(edit);
    grid->addLayout(field, row, column, 1, columnSpan);
    m_boxes[size_t(index)] = edit;
}

void OrgDataTWL::buildControls() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(MarkerMargin + 4);
    grid->setVerticalSpacing(10);
    addBox(grid, 0, QStringLiteral("Organization Name    (50 Chars)"), 0, 0, 2);
    addBox(grid, 1, QStringLiteral("Address 1   (50 Chars)"), 1, 0, 2);
    addBox(grid, 2, QStringLiteral("Address 2   (50 Chars)"), 2, 0, 2);
    addBox(grid, 3, QStringLiteral("City   (30 Chars)"), 3, 0);
    addBox(grid, 4, QStringLiteral("State / Providence   (30 Chars)"), 3, 1);
    addBox(grid, 5, QStringLiteral("Zip Code   (15 Chars)"), 4, 0);
    addBox(grid, 6, QStringLiteral("Phone  (20 Chars)"), 4, 1);
    addBox(grid, 7, QStringLiteral("Fax  (20 Chars)"), 5, 0);
    addBox(grid, 8, QStringLiteral("Email  (40 Chars)"), 5, 1);
    addBox(grid, DetailsRules::OrgFeeBox, QStringLiteral("Membership Fee"), 6, 0);
    box(DetailsRules::OrgFeeBox)->setMaximumWidth(130);
    grid->setColumnMinimumWidth(0, 220);
    grid->setColumnMinimumWidth(1, 220);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command2"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Command1"));
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

    m_marker = new BlinkingMarker(this, QStringLiteral("ErrDot3"), QStringLiteral("OrgTimer"));

    connect(m_ok, &QPushButton::clicked, this, &OrgDataTWL::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OrgDataTWL::loadValues() {
    const auto memory = memoryFields(m_services.shared.org);
    for (size_t i = 0; i < memory.size(); ++i)
        m_boxes[i]->setText(*memory[i]);
    box(DetailsRules::OrgFeeBox)->setText(format::currency(m_services.shared.org.OrgMemFee));
}

DetailsRules::OrgBoxes OrgDataTWL::boxTexts() const {
    DetailsRules::OrgBoxes texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = m_boxes[i]->text();
    return texts;
}

void OrgDataTWL::onOk() {
    clearFailure();
    const DetailsRules::OrgBoxes texts = boxTexts();
    if (const auto failure = DetailsRules::checkOrganisation(texts)) {
        showFailure(*failure);
        return;
    }
    try {
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
void OrgDataTWL::save(const DetailsRules::OrgBoxes& texts) {
    store::RecordSet row;
    row.open(QStringLiteral("OrgData_tbl"), m_services.shared.session.OrgConnString);
    row.moveFirst();
    if (row.eof())
        row.addNew();
    for (size_t i = 0; i < TextFields.size(); ++i)
        row.setValue(QString::fromLatin1(TextFields[i]), texts[i]);
    const double fee = DetailsRules::membershipFee(texts[DetailsRules::OrgFeeBox]).value_or(0);
    // The store converts the number to money and refuses one too large for a money field.
    row.setValue(QStringLiteral("OrgMemFee"), fee);
    row.updateBatch();

    const auto memory = memoryFields(m_services.shared.org);
    for (size_t i = 0; i < TextFields.size(); ++i)
        *memory[i] = row.value(QString::fromLatin1(TextFields[i])).toText();
    m_services.shared.org.OrgMemFee = row.value(QStringLiteral("OrgMemFee")).toDouble();
}

void OrgDataTWL::showFailure(const DetailsRules::Failure& failure) {
    QLineEdit* failed = box(failure.box);
    if (layout())
        layout()->activate();
    m_marker->showAt(DetailsRules::errorMarkerPosition(failed->mapTo(this, QPoint(0, 0))));
    failed->setFocus();
    failed->selectAll();
}

void OrgDataTWL::clearFailure() {
    m_marker->stop();
}

} // namespace twl
