#include "ExhAccount.h"

#include "office/AccountBook.h"
#include "store/StoreError.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace twl {

namespace {

using office::Account;
using office::Cents;
using office::LineKind;
using office::MoneyLine;
using office::moneyText;

const QString Title = QStringLiteral("Trotwell");
const QString FileErrorTitle = QStringLiteral("Trotwell, File Error");

enum Column { WrittenColumn, ItemColumn, DetailsColumn, AmountColumn, ColumnCount };
// Where a grid row of a charge or payment keeps which line it is.
constexpr int LineKindRole = Qt::UserRole;
constexpr int LineNumberRole = Qt::UserRole + 1;
constexpr int ReversibleRole = Qt::UserRole + 2;

QLabel* amountLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(90);
    return label;
}

QLineEdit* box(const char* name, int maxLength, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    return edit;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* push = new QPushButton(caption, parent);
    push->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the boxes (it records a line); no button takes it.
    push->setAutoDefault(false);
    return push;
}

QString lineNoun(LineKind kind) {
    return kind == LineKind::Charge ? QStringLiteral("Charge") : QStringLiteral("Payment");
}

QString moneyLineDetails(const MoneyLine& line) {
    QStringList parts;
    if (line.isReversal())
        parts << QStringLiteral("takes back %1 %2")
                     .arg(lineNoun(line.kind).toLower())
                     .arg(line.reverses);
    if (!line.text.isEmpty())
        parts << line.text;
    if (!line.receivedBy.isEmpty())
        parts << QStringLiteral("received by ") + line.receivedBy;
    if (line.reversed)
        parts << QStringLiteral("taken back");
    return parts.join(QStringLiteral("; "));
}

} // namespace

ExhAccount::ExhAccount(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ExhAccount"));
    setWindowTitle(QStringLiteral("Trotwell  [Exhibitor Account]"));
    buildControls();
    switchLineKind();
    clearAccount(QString());
    resize(720, 520);
}

ExhAccount::~ExhAccount() = default;

void ExhAccount::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildNumberRow());
    auto* middle = new QHBoxLayout;
    m_grid = new QTableWidget(0, ColumnCount, this);
    m_grid->setObjectName(QStringLiteral("AccountGrid"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Written"), QStringLiteral("Item"),
                                       QStringLiteral("Details"), QStringLiteral("Amount")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->horizontalHeader()->setSectionResizeMode(DetailsColumn, QHeaderView::Stretch);
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &ExhAccount::updateReverseButton);
    middle->addWidget(m_grid, 1);
    middle->addWidget(buildTotals());
    layout->addLayout(middle, 1);
    layout->addWidget(buildNewLine());
    layout->addWidget(buildButtons());
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLine"));
    layout->addWidget(m_status);

    setTabOrder(m_number, m_amount);
    setTabOrder(m_amount, m_category);
    setTabOrder(m_category, m_text);
    setTabOrder(m_text, m_receivedBy);
    setTabOrder(m_receivedBy, m_record);
}

QWidget* ExhAccount::buildNumberRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("E&xhibitor No."), row);
    m_number = box("ExhNoBox", 5, row);
    m_number->setMaximumWidth(80);
    caption->setBuddy(m_number);
    connect(m_number, &QLineEdit::textEdited, this, &ExhAccount::showAccount);
    m_names = new QLabel(row);
    m_names->setObjectName(QStringLiteral("ExhNames"));
    m_names->setWordWrap(true);
    layout->addWidget(caption);
    layout->addWidget(m_number);
    layout->addWidget(m_names, 1);
    return row;
}

QWidget* ExhAccount::buildTotals() {
    auto* frame = new QGroupBox(QStringLiteral("Totals"), this);
    auto* layout = new QGridLayout(frame);
    struct Total {
        const char* caption;
        const char* name;
        QLabel* ExhAccount::*label;
    };
    const Total totals[] = {
        {"Entry fees", "FeeTotal", &ExhAccount::m_feeTotal},
        {"Charges", "ChargeTotal", &ExhAccount::m_chargeTotal},
        {"Payouts won", "PayoutTotal", &ExhAccount::m_payoutTotal},
        {"Payments", "PaymentTotal", &ExhAccount::m_paymentTotal},
        {"Balance due", "BalanceDue", &ExhAccount::m_balance},
    };
    int row = 0;
    for (const Total& total : totals) {
        layout->addWidget(new QLabel(QString::fromLatin1(total.caption), frame), row, 0);
        this->*total.label = amountLabel(total.name, frame);
        layout->addWidget(this->*total.label, row, 1);
        ++row;
    }
    QFont bold = m_balance->font();
    bold.setBold(true);
    m_balance->setFont(bold);
    m_balanceNote = new QLabel(frame);
    m_balanceNote->setObjectName(QStringLiteral("BalanceNote"));
    m_balanceNote->setWordWrap(true);
    m_balanceNote->setFont(bold);
    layout->addWidget(m_balanceNote, row, 0, 1, 2);
    layout->setRowStretch(row + 1, 1);
    return frame;
}

QWidget* ExhAccount::buildNewLine() {
    auto* frame = new QGroupBox(QStringLiteral("New line"), this);
    auto* layout = new QGridLayout(frame);
    m_payment = new QRadioButton(QStringLiteral("&Payment"), frame);
    m_payment->setObjectName(QStringLiteral("PaymentOpt"));
    m_payment->setChecked(true);
    m_charge = new QRadioButton(QStringLiteral("C&harge"), frame);
    m_charge->setObjectName(QStringLiteral("ChargeOpt"));
    connect(m_payment, &QRadioButton::toggled, this, &ExhAccount::switchLineKind);
    layout->addWidget(m_payment, 0, 0);
    layout->addWidget(m_charge, 1, 0);

    auto* amountCaption = new QLabel(QStringLiteral("Amou&nt"), frame);
    m_amount = box("AmountBox", 16, frame);
    amountCaption->setBuddy(m_amount);
    m_categoryLabel = new QLabel(frame);
    m_category = new QComboBox(frame);
    m_category->setObjectName(QStringLiteral("MethodBox"));
    m_categoryLabel->setBuddy(m_category);
    m_textLabel = new QLabel(frame);
    m_text = box("ReferenceBox", office::ReferenceLength, frame);
    m_textLabel->setBuddy(m_text);
    auto* receivedCaption = new QLabel(QStringLiteral("Received &by"), frame);
    m_receivedBy = box("ReceivedByBox", office::ReceivedByLength, frame);
    receivedCaption->setBuddy(m_receivedBy);
    m_record = button("RecordBut", QStringLiteral("Rec&ord"), frame);
    connect(m_record, &QPushButton::clicked, this, &ExhAccount::recordLine);

    const std::pair<QLabel*, QWidget*> columns[] = {{amountCaption, m_amount},
                                                    {m_categoryLabel, m_category},
                                                    {m_textLabel, m_text},
                                                    {receivedCaption, m_receivedBy}};
    int column = 1;
    for (const auto& [caption, field] : columns) {
        layout->addWidget(caption, 0, column);
        layout->addWidget(field, 1, column);
        ++column;
    }
    layout->setColumnStretch(3, 1);
    layout->addWidget(m_record, 1, column);
    return frame;
}

QWidget* ExhAccount::buildButtons() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_reverse = button("ReverseBut", QStringLiteral("Re&verse Line"), row);
    connect(m_reverse, &QPushButton::clicked, this, &ExhAccount::reverseSelectedLine);
    m_settle = button("SettleBut", QStringLiteral("&Settle"), row);
    connect(m_settle, &QPushButton::clicked, this, &ExhAccount::settle);
    m_close = button("CloseBut", QStringLiteral("Close"), row);
    connect(m_close, &QPushButton::clicked, this, &ExhAccount::reject);
    layout->addWidget(m_reverse);
    layout->addWidget(m_settle);
    layout->addStretch(1);
    layout->addWidget(m_close);
    return row;
}

void ExhAccount::switchLineKind() {
    const bool payment = m_payment->isChecked();
    m_categoryLabel->setText(payment ? QStringLiteral("&Method") : QStringLiteral("&Kind"));
    m_textLabel->setText(payment ? QStringLiteral("&Reference") : QStringLiteral("&Text"));
    m_category->clear();
    m_category->addItems(payment ? office::paymentMethods() : office::chargeKinds());
    m_text->setMaxLength(payment ? office::ReferenceLength : office::ChargeTextLength);
    m_receivedBy->setEnabled(payment);
}

void ExhAccount::setExhibitorNumber(const QString& number) {
    m_number->setText(number.trimmed());
    showAccount();
    if (m_account)
        goToAmount();
}

office::AccountBook* ExhAccount::book() {
    if (!m_book)
        m_book = std::make_unique<office::AccountBook>(m_services.shared.session.ShowConnString);
    return m_book.get();
}

void ExhAccount::showAccount() {
    markBox(m_number, false);
    const std::optional<int> number = office::parseExhibitorNumber(m_number->text());
    if (!number) {
        clearAccount(m_number->text().trimmed().isEmpty()
                         ? QString()
                         : QStringLiteral("An exhibitor number is a whole number from 1 to %1.")
                               .arg(office::LargestExhibitorNumber));
        return;
    }
    try {
        m_account = book()->account(*number);
    } catch (const store::StoreError& error) {
        clearAccount(QStringLiteral("The account cannot be read: ") + error.message());
        return;
    }
    m_names->setText(m_account->names.isEmpty()
                         ? QStringLiteral("Nothing is recorded under this number.")
                         : m_account->names.join(QStringLiteral(", ")));
    fillGrid(*m_account);
    fillTotals(*m_account);
    m_status->clear();
}

void ExhAccount::clearAccount(const QString& status) {
    m_account.reset();
    m_names->clear();
    m_grid->setRowCount(0);
    for (QLabel* label :
         {m_feeTotal, m_chargeTotal, m_payoutTotal, m_paymentTotal, m_balance, m_balanceNote})
        label->clear();
    m_status->setText(status);
    m_record->setEnabled(false);
    m_settle->setEnabled(false);
    updateReverseButton();
}

void ExhAccount::fillGrid(const Account& account) {
    m_grid->setRowCount(0);
    auto addRow = [this](const QStringList& cells, bool heading = false) {
        const int row = m_grid->rowCount();
        m_grid->insertRow(row);
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(cells.value(column));
            if (column == AmountColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (heading) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            m_grid->setItem(row, column, item);
        }
        return row;
    };
    auto addMoneyLines = [&](const QString& heading, const std::vector<MoneyLine>& lines) {
        if (lines.empty())
            return;
        addRow({QString(), heading}, true);
        for (const MoneyLine& line : lines) {
            const int row = addRow({line.writtenAt.toString(QStringLiteral("MM-dd-yy hh:mm")),
                                    QStringLiteral("%1 %2: %3")
                                        .arg(lineNoun(line.kind))
                                        .arg(line.number)
                                        .arg(line.category),
                                    moneyLineDetails(line), moneyText(line.amount)});
            QTableWidgetItem* item = m_grid->item(row, ItemColumn);
            item->setData(LineKindRole, int(line.kind));
            item->setData(LineNumberRole, line.number);
            item->setData(ReversibleRole, !line.isReversal() && !line.reversed);
        }
    };
    if (!account.fees.empty()) {
        addRow({QString(), QStringLiteral("Entry fees")}, true);
        for (const office::FeeLine& fee : account.fees)
            addRow({QString(), QStringLiteral("Class %1").arg(fee.classNo),
                    fee.horseName.isEmpty()
                        ? fee.description
                        : fee.description + QStringLiteral(" (") + fee.horseName + QLatin1Char(')'),
                    moneyText(fee.fee)});
    }
    addMoneyLines(QStringLiteral("Charges"), account.charges);
    if (!account.payouts.empty()) {
        addRow({QString(), QStringLiteral("Payouts won")}, true);
        for (const office::PayoutLine& payout : account.payouts)
            addRow({QString(),
                    QStringLiteral("Class %1, place %2").arg(payout.classNo).arg(payout.place),
                    payout.description, moneyText(payout.payout)});
    }
    addMoneyLines(QStringLiteral("Payments"), account.payments);
    m_grid->resizeColumnToContents(WrittenColumn);
    m_grid->resizeColumnToContents(ItemColumn);
    m_grid->resizeColumnToContents(AmountColumn);
    updateReverseButton();
}

void ExhAccount::fillTotals(const Account& account) {
    m_feeTotal->setText(moneyText(account.feeTotal));
    m_chargeTotal->setText(moneyText(account.chargeTotal));
    m_payoutTotal->setText(moneyText(account.payoutTotal));
    m_paymentTotal->setText(moneyText(account.paymentTotal));
    m_balance->setText(moneyText(account.balance));
    if (account.settled())
        m_balanceNote->setText(QStringLiteral("SETTLED"));
    else if (account.balance < 0)
        m_balanceNote->setText(
            QStringLiteral("The office owes the exhibitor %1.").arg(moneyText(-account.balance)));
    else
        m_balanceNote->clear();
    m_record->setEnabled(true);
    m_settle->setEnabled(true);
}

void ExhAccount::goToAmount() {
    m_amount->setFocus(Qt::OtherFocusReason);
    m_amount->selectAll();
}

void ExhAccount::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        QWidget* focus = focusWidget();
        if (focus == m_number) {
            if (m_account)
                goToAmount();
            else
                markBox(m_number, true);
            return;
        }
        if (focus == m_amount || focus == m_category || focus == m_text || focus == m_receivedBy) {
            recordLine();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void ExhAccount::markBox(QWidget* box, bool refused) {
    box->setProperty("refused", refused);
    box->setStyleSheet(refused ? QStringLiteral("QLineEdit { border: 2px solid #FF0000; }")
                               : QString());
    if (refused)
        box->setFocus(Qt::OtherFocusReason);
}

void ExhAccount::recordLine() {
    if (!m_account) {
        markBox(m_number, true);
        return;
    }
    markBox(m_amount, false);
    const std::optional<Cents> amount = office::parseAmount(m_amount->text());
    if (!amount || *amount <= 0) {
        markBox(m_amount, true);
        return;
    }
    const bool payment = m_payment->isChecked();
    if (payment && office::paysMoreThanDue(*m_account, *amount) && !confirmOverpayment(*amount)) {
        goToAmount();
        return;
    }
    const int number = m_account->exhibitorNumber;
    const QString what = payment ? QStringLiteral("payment") : QStringLiteral("charge");
    qint64 written = 0;
    try {
        if (payment)
            written = book()->recordPayment(
                {number, m_category->currentText(), m_text->text(), m_receivedBy->text(), *amount},
                m_services.clock.now());
        else
            written =
                book()->recordCharge({number, m_category->currentText(), m_text->text(), *amount},
                                     m_services.clock.now());
    } catch (const office::AccountRefused& refused) {
        reportWriteFailure(what, refused.reason(), false);
        return;
    } catch (const store::StoreError& error) {
        reportWriteFailure(what, error.message());
        return;
    }
    m_amount->clear();
    m_text->clear();
    showAccount();
    m_status->setText(QStringLiteral("%1 %2 of %3 recorded.")
                          .arg(lineNoun(payment ? LineKind::Payment : LineKind::Charge))
                          .arg(written)
                          .arg(moneyText(*amount)));
    goToAmount();
}

bool ExhAccount::confirmOverpayment(Cents amount) {
    const Account& account = *m_account;
    const QString due = account.balance > 0
                            ? QStringLiteral("the %1 due").arg(moneyText(account.balance))
                            : QStringLiteral("what is due (nothing)");
    const Prompt::Answer answer = m_services.prompt.show(
        Title,
        QStringLiteral("A payment of %1 is more than %2: the office will then owe exhibitor %3 "
                       "%4.\n\nRecord the payment?")
            .arg(moneyText(amount), due)
            .arg(account.exhibitorNumber)
            .arg(moneyText(amount - account.balance)),
        Prompt::Icon::Question, Prompt::Buttons::YesNo);
    return answer == Prompt::Answer::Yes;
}

void ExhAccount::reportWriteFailure(const QString& what, const QString& reason, bool byTheFile) {
    m_services.prompt.show(
        byTheFile ? FileErrorTitle : Title,
        QStringLiteral("The %1 could not be recorded. Nothing has been changed.\n\n%2")
            .arg(what, reason),
        byTheFile ? Prompt::Icon::Critical : Prompt::Icon::Exclamation);
}

void ExhAccount::updateReverseButton() {
    const QTableWidgetItem* item =
        m_grid->currentRow() >= 0 ? m_grid->item(m_grid->currentRow(), ItemColumn) : nullptr;
    m_reverse->setEnabled(item && item->data(ReversibleRole).toBool());
}

void ExhAccount::reverseSelectedLine() {
    const QTableWidgetItem* item =
        m_grid->currentRow() >= 0 ? m_grid->item(m_grid->currentRow(), ItemColumn) : nullptr;
    if (!item || !item->data(ReversibleRole).toBool())
        return;
    const auto kind = LineKind(item->data(LineKindRole).toInt());
    const qint64 number = item->data(LineNumberRole).toLongLong();
    const QString line = QStringLiteral("%1 %2").arg(lineNoun(kind).toLower()).arg(number);
    const QString amount = m_grid->item(m_grid->currentRow(), AmountColumn)->text();
    if (m_services.prompt.show(
            Title, QStringLiteral("Take back %1 of %2 with a reversing line?").arg(line, amount),
            Prompt::Icon::Question, Prompt::Buttons::YesNo) != Prompt::Answer::Yes)
        return;
    qint64 written = 0;
    try {
        written = book()->reverse(kind, number, m_services.clock.now());
    } catch (const office::AccountRefused& refused) {
        reportWriteFailure(QStringLiteral("reversal"), refused.reason(), false);
        return;
    } catch (const store::StoreError& error) {
        reportWriteFailure(QStringLiteral("reversal"), error.message());
        return;
    }
    showAccount();
    m_status->setText(
        QStringLiteral("%1 %2 takes back %3.").arg(lineNoun(kind)).arg(written).arg(line));
}

void ExhAccount::settle() {
    if (!m_account) {
        markBox(m_number, true);
        return;
    }
    const int number = m_account->exhibitorNumber;
    try {
        book()->settle(number, m_services.clock.now());
        showAccount();
        m_status->setText(QStringLiteral("The account of exhibitor %1 is settled.").arg(number));
    } catch (const office::AccountRefused& refused) {
        m_services.prompt.show(Title, refused.reason(), Prompt::Icon::Exclamation);
    } catch (const store::StoreError& error) {
        reportWriteFailure(QStringLiteral("settlement"), error.message());
        return;
    }
    if (m_printStatement && m_account)
        m_printStatement(*m_account);
}

} // namespace twl
