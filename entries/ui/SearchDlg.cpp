#include "SearchDlg.h"

#include "common/widgets/BlinkingMarker.h"
#include "common/widgets/PlacedControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace twl {

namespace {

constexpr int BoxesPerColumn = 6;

QRect boxGeometry(int index) {
    const int column = index / BoxesPerColumn;
    const int row = index % BoxesPerColumn;
    return {36 + column * 170, 104 + row * 24, 160, 22};
}

} // namespace

SearchDlg::SearchDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SearchDlg"));
    setWindowTitle(QStringLiteral("Trotwell  [Simple Search]"));
    setFixedSize(390, 336);

    placedLabel(QStringLiteral("Enter text for search."), QStringLiteral("SrchTxtLabel"),
                QRect(20, 12, 350, 20), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("SrchTxt"));
    m_text->setGeometry(20, 34, 350, 24);
    placedLabel(QStringLiteral("Select the fields to search"), QStringLiteral("FieldsLabel"),
                QRect(20, 76, 350, 20), this);
    for (int i = 0; i < SearchFieldCount; ++i) {
        m_boxes[std::size_t(i)] = placedCheck(
            searchFieldCaption(i), QStringLiteral("Chk1_%1").arg(i), boxGeometry(i), this);
        connect(m_boxes[std::size_t(i)], &QCheckBox::toggled, this, &SearchDlg::updateOkButton);
    }
    placedLabel(QStringLiteral("Do not use wildcards"), QStringLiteral("WildcardNote"),
                QRect(20, 254, 350, 20), this);

    m_ok =
        placedButton(QStringLiteral("&OK"), QStringLiteral("OKBut"), QRect(84, 288, 96, 30), this);
    m_ok->setEnabled(false);
    QPushButton* cancel = placedButton(QStringLiteral("&Cancel"), QStringLiteral("CanBut"),
                                       QRect(210, 288, 96, 30), this);
    connect(m_ok, &QPushButton::clicked, this, &SearchDlg::search);
    connect(cancel, &QPushButton::clicked, this, &SearchDlg::reject);

    m_errorDot = new BlinkingMarker(this, QStringLiteral("ErrDot"), QStringLiteral("SrchTimer"));
    connect(m_text, &QLineEdit::textChanged, m_errorDot, &BlinkingMarker::stop);
}

void SearchDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QTimer::singleShot(0, m_text, [text = m_text] { text->setFocus(Qt::OtherFocusReason); });
}

void SearchDlg::reject() {
    m_cancelled = true;
    QDialog::reject();
}

void SearchDlg::updateOkButton() {
    m_ok->setEnabled(std::any_of(m_boxes.begin(), m_boxes.end(),
                                 [](const QCheckBox* box) { return box->isChecked(); }));
}

void SearchDlg::search() {
    SearchTicks ticked{};
    for (int i = 0; i < SearchFieldCount; ++i)
        ticked[std::size_t(i)] = m_boxes[std::size_t(i)]->isChecked();
    const SearchFilterResult result = buildSearchFilter(m_text->text(), ticked);
    if (result.invalidBox >= 0) {
        markInvalid(result.invalidBox);
        return;
    }
    m_errorDot->stop();
    m_searchText = m_text->text();
    m_searchFilter = result.filter;
    accept();
}

// The dot stands 200 twips left of the box and 100 twips below its top.
void SearchDlg::markInvalid(int box) {
    QCheckBox* check = m_boxes[std::size_t(box)];
    m_errorDot->showAt(check->geometry().topLeft() + QPoint(-13, 7));
    check->setFocus(Qt::OtherFocusReason);
}

} // namespace twl
