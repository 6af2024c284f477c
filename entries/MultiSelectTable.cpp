#include "MultiSelectTable.h"

#include "store/Connection.h"
#include "store/Transaction.h"

namespace twl {

namespace {

// A class number of a row as an index of the board; 0 for one outside it.
std::size_t boardIndex(const store::Statement& row) {
    const qint64 classNo = row.columnInt64(0);
    return classNo >= 1 && classNo <= MultiClassBoard::BoxCount ? std::size_t(classNo) : 0;
}

} // namespace

MultiClassBoard::Flags readMultiClassFlags(const QString& showConnectionText) {
    MultiClassBoard::Flags flags{};
    const auto connection = store::connectionFor(showConnectionText);
    {
        store::Statement rows = connection->prepare(
            QStringLiteral("SELECT [Class No], Selected, OtherExhNa FROM MultiSelect_tbl"));
        while (rows.step()) {
            auto& f = flags[boardIndex(rows)];
            f.selected = rows.columnValue(1, store::FieldType::Boolean).toBool();
            f.otherExhibitor = rows.columnValue(2, store::FieldType::Boolean).toBool();
        }
    }
    store::Statement classes =
        connection->prepare(QStringLiteral("SELECT [Class No], [Class Ended] FROM Class_tbl"));
    while (classes.step())
        flags[boardIndex(classes)].ended =
            classes.columnValue(1, store::FieldType::Boolean).toBool();
    flags[0] = {};
    return flags;
}

bool writeMultiClassChoice(const QString& showConnectionText, const MultiClassBoard& board) {
    const auto connection = store::connectionFor(showConnectionText);
    store::Transaction transaction(*connection);
    {
        store::Statement update = connection->prepare(
            QStringLiteral("UPDATE MultiSelect_tbl SET Selected = ? WHERE [Class No] = ?"));
        for (int i = 1; i <= board.classesUsed(); ++i) {
            update.reset();
            update.bind(1, store::Value(board.isTicked(i)));
            update.bind(2, store::Value(i));
            update.step();
        }
    }
    transaction.commit();
    return board.anyTicked();
}

} // namespace twl
