#include "AccountBook.h"

#include "store/Connection.h"
#include "store/Transaction.h"

#include <QRegularExpression>

namespace twl::office {

namespace {

using store::FieldType;
using store::Statement;
using store::Value;

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Where the lines of each kind are kept; `category` and `text` are the fields behind
// MoneyLine's members of those names.
struct LineTable {
    const char* table;
    const char* number;
    const char* category;
    const char* text;
    bool receivedBy;
    const char* noun;
};

const LineTable& tableOf(LineKind kind) {
    static const LineTable charges{"Charges_tbl",   "[Charge No]", "[Charge Kind]",
                                   "[Charge Text]", false,         "charge"};
    static const LineTable payments{"Payments_tbl",    "[Payment No]", "[Pay Method]",
                                    "[Pay Reference]", true,           "payment"};
    return kind == LineKind::Charge ? charges : payments;
}

QString timeText(const QDateTime& at) {
    return at.toString(TimeFormat);
}

QString text(const Statement& statement, int column) {
    return statement.columnValue(column, FieldType::Text).toText();
}

qint64 whole(const Statement& statement, int column) {
    return statement.columnValue(column, FieldType::Integer).toInt();
}

// The condition that picks one exhibitor's rows, or none for every exhibitor's.
QString onlyExhibitor(const char* field, std::optional<int> exhibitor) {
    return exhibitor ? QStringLiteral("WHERE %1 = ? ").arg(QLatin1String(field)) : QString();
}

void bindExhibitor(Statement& statement, std::optional<int> exhibitor) {
    if (exhibitor)
        statement.bind(1, Value(*exhibitor));
}

// Each reader hands every row to `add` with the exhibitor number it belongs to: one exhibitor's
// rows, or every exhibitor's in one pass over the table.
template <typename Add>
void readEntries(store::Connection& show, std::optional<int> exhibitor, const Add& add) {
    Statement statement = show.prepare(
        QStringLiteral("SELECT e.[Class No], c.[Class Name], c.[Class Fee], e.[Show Exh Nam], "
                       "e.[Horse Name], e.[Show Exh No] "
                       "FROM Entries_tbl AS e LEFT JOIN Class_tbl AS c ON c.[Class No] = "
                       "e.[Class No] ") +
        onlyExhibitor("e.[Show Exh No]", exhibitor) +
        QStringLiteral("ORDER BY e.[Class No], e.rowid"));
    bindExhibitor(statement, exhibitor);
    while (statement.step())
        add(int(whole(statement, 5)),
            EntryRow{int(whole(statement, 0)), text(statement, 1),
                     statement.columnValue(2, FieldType::Currency).toCurrency(), text(statement, 3),
                     text(statement, 4)});
}

template <typename Add>
void readPayouts(store::Connection& show, std::optional<int> exhibitor, const Add& add) {
    Statement statement = show.prepare(
        QStringLiteral("SELECT p.[PY Class No], c.[Class Name], p.[PY Place], p.[PY Amt], "
                       "p.[PY Exh Nam], p.[PY Exh No] "
                       "FROM PayOut_tbl AS p LEFT JOIN Class_tbl AS c ON c.[Class No] = "
                       "p.[PY Class No] ") +
        onlyExhibitor("p.[PY Exh No]", exhibitor) +
        QStringLiteral("ORDER BY p.[PY Class No], p.[PY Place], p.rowid"));
    bindExhibitor(statement, exhibitor);
    while (statement.step())
        add(int(whole(statement, 5)),
            PayoutRow{int(whole(statement, 0)), text(statement, 1), int(whole(statement, 2)),
                      statement.columnValue(3, FieldType::Currency).toCurrency(),
                      text(statement, 4)});
}

// `condition` is empty or a WHERE clause whose one parameter is `parameter`.
template <typename Add>
void readLines(store::Connection& show, LineKind kind, const QString& condition,
               const std::optional<Value>& parameter, const Add& add) {
    const LineTable& t = tableOf(kind);
    Statement statement = show.prepare(
        QStringLiteral("SELECT %1, [Written At], %2, %3, %4, [Amount Cents], [Reverses No], "
                       "[Show Exh No] FROM %5 %6ORDER BY %1")
            .arg(QLatin1String(t.number), QLatin1String(t.category), QLatin1String(t.text),
                 t.receivedBy ? QStringLiteral("[Received By]") : QStringLiteral("''"),
                 QLatin1String(t.table), condition));
    if (parameter)
        statement.bind(1, *parameter);
    while (statement.step()) {
        MoneyLine line;
        line.kind = kind;
        line.number = whole(statement, 0);
        line.writtenAt = QDateTime::fromString(text(statement, 1), TimeFormat);
        line.category = text(statement, 2);
        line.text = text(statement, 3);
        line.receivedBy = text(statement, 4);
        line.amount = whole(statement, 5);
        line.reverses = whole(statement, 6);
        line.exhibitorNumber = int(whole(statement, 7));
        add(line.exhibitorNumber, std::move(line));
    }
}

template <typename Add>
void readLines(store::Connection& show, LineKind kind, std::optional<int> exhibitor,
               const Add& add) {
    readLines(show, kind, onlyExhibitor("[Show Exh No]", exhibitor),
              exhibitor ? std::optional<Value>(Value(*exhibitor)) : std::nullopt, add);
}

template <typename Add>
void readSettled(store::Connection& show, std::optional<int> exhibitor, const Add& add) {
    Statement statement =
        show.prepare(QStringLiteral("SELECT [Settled At], [Show Exh No] FROM Settled_tbl ") +
                     onlyExhibitor("[Show Exh No]", exhibitor));
    bindExhibitor(statement, exhibitor);
    while (statement.step())
        add(int(whole(statement, 1)), QDateTime::fromString(text(statement, 0), TimeFormat));
}

void checkExhibitor(int exhibitor) {
    if (exhibitor < 1 || exhibitor > LargestExhibitorNumber)
        throw AccountRefused(QStringLiteral("An exhibitor number is a whole number from 1 to %1.")
                                 .arg(LargestExhibitorNumber));
}

void checkAmount(Cents amount) {
    if (amount <= 0 || amount > LargestAmount)
        throw AccountRefused(QStringLiteral("An amount is more than $0.00 and at most %1.")
                                 .arg(moneyText(LargestAmount)));
}

void checkChoice(const QString& value, const QStringList& choices, const char* what) {
    if (!choices.contains(value))
        throw AccountRefused(QStringLiteral("The %1 is one of %2.")
                                 .arg(QLatin1String(what), choices.join(QStringLiteral(", "))));
}

void checkLength(const QString& value, int length, const char* what) {
    if (value.size() > length)
        throw AccountRefused(QStringLiteral("The %1 holds at most %2 characters.")
                                 .arg(QLatin1String(what))
                                 .arg(length));
}

void clearSettledMark(store::Connection& show, int exhibitor) {
    Statement statement =
        show.prepare(QStringLiteral("DELETE FROM Settled_tbl WHERE [Show Exh No] = ?"));
    statement.bind(1, Value(exhibitor));
    statement.step();
}

qint64 lastLineNumber(store::Connection& show) {
    Statement statement = show.prepare(QStringLiteral("SELECT last_insert_rowid()"));
    statement.step();
    return statement.columnInt64(0);
}

// Writes one line and takes the settled mark away, in the caller's transaction.
qint64 insertLine(store::Connection& show, LineKind kind, int exhibitor, const QDateTime& at,
                  const MoneyLine& line) {
    const LineTable& t = tableOf(kind);
    Statement statement = show.prepare(
        QStringLiteral("INSERT INTO %1 ([Show Exh No], [Written At], %2, %3, %4[Amount Cents], "
                       "[Reverses No]) VALUES (?, ?, ?, ?, %5?, ?)")
            .arg(QLatin1String(t.table), QLatin1String(t.category), QLatin1String(t.text),
                 t.receivedBy ? QStringLiteral("[Received By], ") : QString(),
                 t.receivedBy ? QStringLiteral("?, ") : QString()));
    int column = 1;
    statement.bind(column++, Value(exhibitor));
    statement.bind(column++, Value(timeText(at)));
    statement.bind(column++, Value(line.category));
    statement.bind(column++, line.text.isEmpty() ? Value() : Value(line.text));
    if (t.receivedBy)
        statement.bind(column++, line.receivedBy.isEmpty() ? Value() : Value(line.receivedBy));
    statement.bind(column++, Value(line.amount));
    statement.bind(column++, line.reverses != 0 ? Value(line.reverses) : Value());
    statement.step();
    const qint64 number = lastLineNumber(show);
    clearSettledMark(show, exhibitor);
    return number;
}

} // namespace

const QStringList& chargeKinds() {
    static const QStringList kinds{QStringLiteral("Office Fee"), QStringLiteral("Stall"),
                                   QStringLiteral("Late Fee"), QStringLiteral("Refund"),
                                   QStringLiteral("Other")};
    return kinds;
}

const QStringList& paymentMethods() {
    static const QStringList methods{QStringLiteral("Cash"), QStringLiteral("Cheque"),
                                     QStringLiteral("Card"), QStringLiteral("Other")};
    return methods;
}

std::optional<int> parseExhibitorNumber(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return std::nullopt;
    const int number = trimmed.toInt();
    if (number < 1 || number > LargestExhibitorNumber)
        return std::nullopt;
    return number;
}

AccountBook::AccountBook(const QString& showConnectionText)
    : m_show(store::connectionFor(showConnectionText)),
      m_hasOfficeLines(m_show->isTable(QStringLiteral("Charges_tbl"))) {}

AccountRows AccountBook::rows(int exhibitorNumber) {
    AccountRows rows;
    rows.exhibitorNumber = exhibitorNumber;
    const std::optional<int> only = exhibitorNumber;
    readEntries(*m_show, only, [&](int, EntryRow&& row) { rows.entries.push_back(row); });
    readPayouts(*m_show, only, [&](int, PayoutRow&& row) { rows.payouts.push_back(row); });
    if (!m_hasOfficeLines)
        return rows;
    readLines(*m_show, LineKind::Charge, only,
              [&](int, MoneyLine&& line) { rows.charges.push_back(line); });
    readLines(*m_show, LineKind::Payment, only,
              [&](int, MoneyLine&& line) { rows.payments.push_back(line); });
    readSettled(*m_show, only, [&](int, QDateTime&& at) { rows.settledAt = at; });
    return rows;
}

std::map<int, AccountRows> AccountBook::allRows() {
    std::map<int, AccountRows> all;
    const auto of = [&all](int number) -> AccountRows& {
        AccountRows& rows = all[number];
        rows.exhibitorNumber = number;
        return rows;
    };
    const std::optional<int> every;
    readEntries(*m_show, every, [&](int n, EntryRow&& row) { of(n).entries.push_back(row); });
    readPayouts(*m_show, every, [&](int n, PayoutRow&& row) { of(n).payouts.push_back(row); });
    if (!m_hasOfficeLines)
        return all;
    readLines(*m_show, LineKind::Charge, every,
              [&](int n, MoneyLine&& line) { of(n).charges.push_back(line); });
    readLines(*m_show, LineKind::Payment, every,
              [&](int n, MoneyLine&& line) { of(n).payments.push_back(line); });
    readSettled(*m_show, every, [&](int n, QDateTime&& at) { of(n).settledAt = at; });
    return all;
}

std::vector<Account> AccountBook::allAccounts() {
    std::vector<Account> accounts;
    for (const auto& [number, rows] : allRows())
        accounts.push_back(computeAccount(rows));
    return accounts;
}

std::vector<MoneyLine> AccountBook::paymentsOn(const QDate& day) {
    std::vector<MoneyLine> payments;
    if (!m_hasOfficeLines)
        return payments;
    readLines(*m_show, LineKind::Payment, QStringLiteral("WHERE substr([Written At], 1, 10) = ? "),
              Value(day.toString(Qt::ISODate)),
              [&](int, MoneyLine&& line) { payments.push_back(line); });
    return payments;
}

std::vector<QDate> AccountBook::paymentDates() {
    std::vector<QDate> days;
    if (!m_hasOfficeLines)
        return days;
    Statement statement = m_show->prepare(
        QStringLiteral("SELECT DISTINCT substr([Written At], 1, 10) FROM Payments_tbl ORDER BY 1"));
    while (statement.step())
        days.push_back(QDate::fromString(text(statement, 0), Qt::ISODate));
    return days;
}

std::vector<int> AccountBook::exhibitorNumbers() {
    Statement statement = m_show->prepare(
        QStringLiteral("SELECT [Show Exh No] FROM Entries_tbl UNION SELECT [PY Exh No] FROM "
                       "PayOut_tbl ") +
        (m_hasOfficeLines ? QStringLiteral("UNION SELECT [Show Exh No] FROM Charges_tbl UNION "
                                           "SELECT [Show Exh No] FROM Payments_tbl ")
                          : QString()) +
        QStringLiteral("ORDER BY 1"));
    std::vector<int> numbers;
    while (statement.step()) {
        const Value number = statement.columnValue(0, FieldType::Integer);
        if (!number.isNull())
            numbers.push_back(int(number.toInt()));
    }
    return numbers;
}

qint64 AccountBook::recordCharge(const NewCharge& charge, const QDateTime& at) {
    checkExhibitor(charge.exhibitorNumber);
    checkAmount(charge.amount);
    checkChoice(charge.kind, chargeKinds(), "kind of charge");
    checkLength(charge.text, ChargeTextLength, "text of a charge");
    MoneyLine line;
    line.category = charge.kind;
    line.text = charge.text;
    line.amount = charge.amount;
    store::Transaction transaction(*m_show);
    const qint64 number = insertLine(*m_show, LineKind::Charge, charge.exhibitorNumber, at, line);
    transaction.commit();
    return number;
}

qint64 AccountBook::recordPayment(const NewPayment& payment, const QDateTime& at) {
    checkExhibitor(payment.exhibitorNumber);
    checkAmount(payment.amount);
    checkChoice(payment.method, paymentMethods(), "method of payment");
    checkLength(payment.reference, ReferenceLength, "reference");
    checkLength(payment.receivedBy, ReceivedByLength, "name of who received it");
    MoneyLine line;
    line.category = payment.method;
    line.text = payment.reference;
    line.receivedBy = payment.receivedBy;
    line.amount = payment.amount;
    store::Transaction transaction(*m_show);
    const qint64 number = insertLine(*m_show, LineKind::Payment, payment.exhibitorNumber, at, line);
    transaction.commit();
    return number;
}

qint64 AccountBook::reverse(LineKind kind, qint64 number, const QDateTime& at) {
    const LineTable& t = tableOf(kind);
    store::Transaction transaction(*m_show);
    Statement original = m_show->prepare(
        QStringLiteral("SELECT [Show Exh No], %1, %2, %3, [Amount Cents], [Reverses No], "
                       "(SELECT count(*) FROM %4 AS r WHERE r.[Reverses No] = %5.%6) "
                       "FROM %4 AS %5 WHERE %6 = ?")
            .arg(QLatin1String(t.category), QLatin1String(t.text),
                 t.receivedBy ? QStringLiteral("[Received By]") : QStringLiteral("''"),
                 QLatin1String(t.table), QStringLiteral("o"), QLatin1String(t.number)));
    original.bind(1, Value(number));
    const QString line = QStringLiteral("%1 %2").arg(QLatin1String(t.noun)).arg(number);
    if (!original.step())
        throw AccountRefused(QStringLiteral("There is no %1.").arg(line));
    if (whole(original, 5) != 0)
        throw AccountRefused(QStringLiteral("The %1 takes back another line: it is not taken "
                                            "back in turn. Record the line again instead.")
                                 .arg(line));
    if (whole(original, 6) != 0)
        throw AccountRefused(QStringLiteral("The %1 has been taken back already.").arg(line));
    MoneyLine reversal;
    reversal.category = text(original, 1);
    reversal.text = text(original, 2);
    reversal.receivedBy = text(original, 3);
    reversal.amount = -whole(original, 4);
    reversal.reverses = number;
    const qint64 written = insertLine(*m_show, kind, int(whole(original, 0)), at, reversal);
    transaction.commit();
    return written;
}

void AccountBook::settle(int exhibitorNumber, const QDateTime& at) {
    checkExhibitor(exhibitorNumber);
    store::Transaction transaction(*m_show);
    const Account now = account(exhibitorNumber);
    if (now.empty())
        throw AccountRefused(
            QStringLiteral("Nothing is recorded under exhibitor number %1.").arg(exhibitorNumber));
    if (now.balance != 0)
        throw AccountRefused(
            QStringLiteral("The account of exhibitor %1 is not settled: %2")
                .arg(exhibitorNumber)
                .arg(now.balance > 0
                         ? QStringLiteral("%1 is still due.").arg(moneyText(now.balance))
                         : QStringLiteral("the office still owes %1.")
                               .arg(moneyText(-now.balance))));
    clearSettledMark(*m_show, exhibitorNumber);
    Statement mark = m_show->prepare(
        QStringLiteral("INSERT INTO Settled_tbl ([Show Exh No], [Settled At]) VALUES (?, ?)"));
    mark.bind(1, Value(exhibitorNumber));
    mark.bind(2, Value(timeText(at)));
    mark.step();
    transaction.commit();
}

} // namespace twl::office
