#include "OfficeReports.h"

#include "ReportError.h"
#include "ReportParts.h"
#include "ValueText.h"
#include "common/Formats.h"
#include "office/AccountBook.h"
#include "office/OfficeTotals.h"
#include "store/ShapedRowsBuilder.h"

namespace reports {

using twl::office::Account;
using twl::office::Cents;
using twl::office::MoneyLine;
using twl::office::moneyText;

namespace {

store::Value text(const QString& value) {
    return store::Value(value);
}

QString writtenText(const QDateTime& at) {
    return defaultDate(at.date()) + QLatin1Char(' ') + at.time().toString(QStringLiteral("HH:mm"));
}

// What a charge or payment line says of its reversal, besides its number.
QString lineNote(const MoneyLine& line) {
    const QString number = QStringLiteral("No. %1").arg(line.number);
    if (line.isReversal())
        return number + QStringLiteral(", takes back No. %1").arg(line.reverses);
    if (line.reversed)
        return number + QStringLiteral(", taken back");
    return number;
}

QString moneyLineText(const MoneyLine& line) {
    QString described = line.category;
    if (!line.text.isEmpty())
        described += QStringLiteral(": ") + line.text;
    if (!line.receivedBy.isEmpty())
        described += QStringLiteral(" (received by %1)").arg(line.receivedBy);
    return described;
}

const QStringList LineFields{QStringLiteral("Line Ref"), QStringLiteral("Line Text"),
                             QStringLiteral("Line Detail"), QStringLiteral("Line Amount")};

class PartsBuilder {
public:
    void add(const QString& name, const QString& totalCaption, Cents total,
             const store::ShapedRowsBuilder& lines, bool hasLines) {
        if (!hasLines)
            return;
        m_parts.row({text(name), text(totalCaption), text(moneyText(total))}, {lines.build()});
    }
    store::ShapedRows build() const { return m_parts.build(); }

private:
    store::ShapedRowsBuilder m_parts{{QStringLiteral("Part Name"),
                                      QStringLiteral("Part Total Caption"),
                                      QStringLiteral("Part Total")},
                                     {QStringLiteral("Lines")}};
};

store::ShapedRowsBuilder moneyLines(const std::vector<MoneyLine>& lines) {
    store::ShapedRowsBuilder rows(LineFields);
    for (const MoneyLine& line : lines)
        rows.row({text(writtenText(line.writtenAt)), text(moneyLineText(line)),
                  text(lineNote(line)), text(moneyText(line.amount))});
    return rows;
}

store::ShapedRows statementParts(const Account& account) {
    store::ShapedRowsBuilder fees(LineFields);
    for (const twl::office::FeeLine& fee : account.fees)
        fees.row({text(QStringLiteral("Class %1").arg(fee.classNo)), text(fee.description),
                  text(fee.horseName), text(moneyText(fee.fee))});
    store::ShapedRowsBuilder payouts(LineFields);
    for (const twl::office::PayoutLine& payout : account.payouts)
        payouts.row({text(QStringLiteral("Class %1").arg(payout.classNo)), text(payout.description),
                     text(QStringLiteral("Place %1").arg(payout.place)),
                     text(moneyText(payout.payout))});
    PartsBuilder parts;
    parts.add(QStringLiteral("Entry Fees"), QStringLiteral("Total entry fees:"), account.feeTotal,
              fees, !account.fees.empty());
    parts.add(QStringLiteral("Charges"), QStringLiteral("Total charges:"), account.chargeTotal,
              moneyLines(account.charges), !account.charges.empty());
    parts.add(QStringLiteral("Payouts Won"), QStringLiteral("Total payouts won:"),
              account.payoutTotal, payouts, !account.payouts.empty());
    parts.add(QStringLiteral("Payments"), QStringLiteral("Total payments:"), account.paymentTotal,
              moneyLines(account.payments), !account.payments.empty());
    return parts.build();
}

QString balanceNote(const Account& account) {
    if (account.balance < 0)
        return QStringLiteral("The office owes the exhibitor %1.").arg(moneyText(-account.balance));
    return {};
}

const QStringList StatementFields{
    QStringLiteral("Exh No"),       QStringLiteral("Exh Names"),    QStringLiteral("Fee Total"),
    QStringLiteral("Charge Total"), QStringLiteral("Payout Total"), QStringLiteral("Payment Total"),
    QStringLiteral("Balance Due"),  QStringLiteral("Balance Note"), QStringLiteral("Paid Mark")};

std::vector<store::Value> statementValues(const Account& account) {
    return {text(QString::number(account.exhibitorNumber)),
            text(account.names.join(QStringLiteral("; "))),
            text(moneyText(account.feeTotal)),
            text(moneyText(account.chargeTotal)),
            text(moneyText(account.payoutTotal)),
            text(moneyText(account.paymentTotal)),
            text(moneyText(account.balance)),
            text(balanceNote(account)),
            text(account.settled() ? QStringLiteral("PAID") : QString())};
}

twl::office::AccountBook bookOf(const ReportContext& context) {
    return twl::office::AccountBook(parts::showConnection(context));
}

} // namespace

store::ShapedRows statementRows(const Account& account) {
    return store::ShapedRowsBuilder(StatementFields, {QStringLiteral("Parts")})
        .row(statementValues(account), {statementParts(account)})
        .build();
}

ReportData exhibitorStatement(Layout&, const ReportContext& context) {
    const std::optional<int> number = twl::office::parseExhibitorNumber(context.ReportSubject);
    if (!number)
        throw ReportError(
            QStringLiteral("\"%1\" is not an exhibitor number.").arg(context.ReportSubject));
    const Account account = bookOf(context).account(*number);
    if (account.empty())
        throw ReportError(
            QStringLiteral("Nothing is recorded under exhibitor number %1.").arg(*number));
    ReportData data;
    data.rows = statementRows(account);
    data.recordCountText = twl::format::count(qint64(account.fees.size()));
    data.documentName = QStringLiteral("Statement exhibitor %1").arg(*number);
    return data;
}

ReportData allStatements(Layout&, const ReportContext& context) {
    ReportData data;
    qint64 statements = 0;
    for (const Account& account : bookOf(context).allAccounts()) {
        if (account.fees.empty())
            continue; // the statements go to the exhibitors with entries
        data.pagedApart.push_back(statementRows(account));
        ++statements;
    }
    data.rows = store::ShapedRowsBuilder(StatementFields, {QStringLiteral("Parts")}).build();
    data.recordCountText = twl::format::count(statements);
    return data;
}

ReportData balancesDue(Layout& layout, const ReportContext& context) {
    const twl::office::BalancesDue due = twl::office::balancesDue(bookOf(context).allAccounts());
    store::ShapedRowsBuilder rows({QStringLiteral("Exh No"), QStringLiteral("Exh Names"),
                                   QStringLiteral("Fee Total"), QStringLiteral("Charge Total"),
                                   QStringLiteral("Payout Total"), QStringLiteral("Payment Total"),
                                   QStringLiteral("Balance Due")});
    for (const Account& account : due.accounts)
        rows.row({text(QString::number(account.exhibitorNumber)),
                  text(account.names.join(QStringLiteral("; "))), text(moneyText(account.feeTotal)),
                  text(moneyText(account.chargeTotal)), text(moneyText(account.payoutTotal)),
                  text(moneyText(account.paymentTotal)), text(moneyText(account.balance))});
    layout.setCaption(QStringLiteral("DueToOffice"), moneyText(due.dueToOffice));
    layout.setCaption(QStringLiteral("OwedByOffice"), moneyText(due.owedByOffice));
    layout.setCaption(QStringLiteral("NetDue"), moneyText(due.net()));
    ReportData data;
    data.rows = rows.build();
    data.recordCountText = twl::format::count(qint64(due.accounts.size()));
    return data;
}

ReportData dailyTakings(Layout& layout, const ReportContext& context) {
    const QDate day = takingsDay(context.ReportSubject);
    if (!day.isValid())
        throw ReportError(QStringLiteral("\"%1\" is not a date.").arg(context.ReportSubject));
    const twl::office::Takings takings = twl::office::takingsOf(bookOf(context).paymentsOn(day));
    store::ShapedRowsBuilder methods({QStringLiteral("Pay Method"), QStringLiteral("Method Total")},
                                     {QStringLiteral("Payments")});
    qint64 lines = 0;
    for (const twl::office::MethodTakings& method : takings.methods) {
        store::ShapedRowsBuilder payments(
            {QStringLiteral("Payment No"), QStringLiteral("Exh No"), QStringLiteral("Written At"),
             QStringLiteral("Reference"), QStringLiteral("Received By"), QStringLiteral("Amount")});
        for (const MoneyLine& line : method.lines)
            payments.row({text(lineNote(line)), text(QString::number(line.exhibitorNumber)),
                          text(line.writtenAt.time().toString(QStringLiteral("HH:mm"))),
                          text(line.text), text(line.receivedBy), text(moneyText(line.amount))});
        lines += qint64(method.lines.size());
        methods.row({text(method.method), text(moneyText(method.total))}, {payments.build()});
    }
    layout.setCaption(QStringLiteral("TakingsDay"), twl::format::longDate(day));
    layout.setCaption(QStringLiteral("DayTotal"), moneyText(takings.total));
    ReportData data;
    data.rows = methods.build();
    data.recordCountText = twl::format::count(lines);
    data.documentName = QStringLiteral("Daily Takings %1").arg(day.toString(Qt::ISODate));
    return data;
}

QString takingsDayText(const QDate& day) {
    return defaultDate(day);
}

QDate takingsDay(const QString& text) {
    return QDate::fromString(text.trimmed(), QStringLiteral("M/d/yyyy"));
}

} // namespace reports
