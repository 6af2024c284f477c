#include "ShowEntryData.h"

#include "store/Connection.h"
#include "store/RecordSet.h"

namespace twl {

namespace {

// Runs a query with bound values and hands each row to `onRow` until it returns false.
template <typename OnRow>
void forEachRow(const QString& connectionText, const QString& sql,
                std::initializer_list<store::Value> values, OnRow onRow) {
    const auto connection = store::connectionFor(connectionText);
    store::Statement statement = connection->prepare(sql);
    int slot = 1;
    for (const store::Value& value : values)
        statement.bind(slot++, value);
    while (statement.step()) {
        if (!onRow(statement))
            break;
    }
}

bool anyRow(const QString& connectionText, const QString& sql,
            std::initializer_list<store::Value> values) {
    bool found = false;
    forEachRow(connectionText, sql, values, [&](store::Statement&) {
        found = true;
        return false;
    });
    return found;
}

} // namespace

bool ShowEntryData::classEnded(qint64 classNo) {
    bool ended = false;
    forEachRow(m_connectionText,
               QStringLiteral("SELECT [Class Ended], [Class No] FROM Class_tbl "
                              "WHERE [Class No] = ?"),
               {store::Value(classNo)}, [&](store::Statement& row) {
                   ended = row.columnValue(0, store::FieldType::Boolean).toBool();
                   return false;
               });
    return ended;
}

bool ShowEntryData::exhibitorEntered(double exhibitorNo, qint64 classNo) {
    return anyRow(m_connectionText,
                  QStringLiteral("SELECT [Show Exh No], [Class No] FROM Entries_tbl "
                                 "WHERE [Show Exh No] = ? AND [Class No] = ?"),
                  {store::Value(exhibitorNo), store::Value(classNo)});
}

QString ShowEntryData::className(double classNo) {
    QString name;
    forEachRow(m_connectionText,
               QStringLiteral("SELECT [Class Name] FROM Class_tbl WHERE [Class No] = ?"),
               {store::Value(classNo)}, [&](store::Statement& row) {
                   name = row.columnValue(0, store::FieldType::Text).toText();
                   return false;
               });
    return name;
}

void ShowEntryData::clearMultiSelect() {
    // Only rows that hold a mark are written: an unmarked table costs no write at all.
    store::execute(m_connectionText,
                   QStringLiteral("UPDATE MultiSelect_tbl SET Selected = 0, OtherExhNa = 0 "
                                  "WHERE Selected <> 0 OR OtherExhNa <> 0"));
}

void ShowEntryData::markClassesOfExhibitor(double exhibitorNo) {
    const auto connection = store::connectionFor(m_connectionText);
    store::Statement statement = connection->prepare(
        QStringLiteral("UPDATE MultiSelect_tbl SET OtherExhNa = 1 WHERE [Class No] IN "
                       "(SELECT [Class No] FROM Entries_tbl WHERE [Show Exh No] = ?)"));
    statement.bind(1, store::Value(exhibitorNo));
    statement.step();
}

QStringList ShowEntryData::earlierNames(double exhibitorNo) {
    QStringList names;
    forEachRow(m_connectionText,
               QStringLiteral("SELECT DISTINCT [Show Exh Nam], [Show Exh No] FROM Entries_tbl "
                              "WHERE [Show Exh No] = ?"),
               {store::Value(exhibitorNo)}, [&](store::Statement& row) {
                   names << row.columnValue(0, store::FieldType::Text).toText();
                   return true;
               });
    return names;
}

std::optional<EntryTexts> ShowEntryData::earlierEntry(qint64 exhibitorNo,
                                                      const QString& exhibitorName) {
    store::RecordSet entries;
    entries.open(QStringLiteral("SELECT * FROM Entries_tbl WHERE [Show Exh No] = ") +
                     QString::number(exhibitorNo),
                 m_connectionText);
    entries.setFilter(QStringLiteral("[Show Exh Nam] = ") + quotedLiteral(exhibitorName));
    if (entries.recordCount() == 0)
        return std::nullopt;
    entries.moveFirst();
    EntryTexts texts;
    for (int i = 0; i < EntryFieldCount; ++i)
        texts[std::size_t(i)] = entries.value(entryFieldName(i)).toText();
    return texts;
}

ChangeMark changeMark(const QString& connectionText) {
    const auto connection = store::connectionFor(connectionText);
    ChangeMark mark;
    mark.connection = connection;
    const auto readNumber = [&](const QString& sql) {
        store::Statement statement = connection->prepare(sql);
        return statement.step() ? statement.columnInt64(0) : qint64(-1);
    };
    mark.totalChanges = readNumber(QStringLiteral("SELECT total_changes()"));
    mark.dataVersion = readNumber(QStringLiteral("PRAGMA data_version"));
    mark.entryRows = connection->rowsWrittenTo(QStringLiteral("Entries_tbl"));
    mark.unnamedChanges = mark.totalChanges - connection->rowsWrittenInAll();
    return mark;
}

std::optional<std::vector<std::pair<int, QString>>> lookUpMember(const QString& orgConnectionText,
                                                                 const QString& memberNo) {
    store::RecordSet members;
    members.open(QStringLiteral("Members_tbl"), orgConnectionText);
    members.setFilter(QStringLiteral("[Mem Num] = ") + quotedLiteral(memberNo));
    if (members.recordCount() == 0)
        return std::nullopt;
    members.moveFirst();
    std::vector<std::pair<int, QString>> filled;
    for (const MemberFieldMapping& mapping : memberFieldMappings())
        filled.emplace_back(mapping.entryField,
                            members.value(QString::fromLatin1(mapping.memberField)).toText());
    return filled;
}

} // namespace twl
