#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/RecordSetModel.h"
#include "store/StoreError.h"
#include "support/TestFolder.h"

#include <QSignalSpy>

using store::RecordSet;
using store::RecordSetModel;
using store::StoreError;
using store::Value;
using Reason = RecordSetModel::Refusal::Reason;

namespace {

// The grid columns used below: unbound, number (read-only), name, fee (formatted), ended
// (hidden check box).
enum { Spacer, Number, Name, Fee, Ended };

std::vector<RecordSetModel::Column> columns() {
    using Column = RecordSetModel::Column;
    return {
        Column{.caption = "-", .editable = false},
        Column{.field = "Class No",
               .caption = "Class",
               .alignment = Qt::AlignHCenter,
               .editable = false},
        Column{.field = "[class name]", .caption = "Name"},
        Column{.field = "Class Fee",
               .caption = "Fee",
               .alignment = Qt::AlignRight,
               .format = [](const Value& v) { return QString("<%1>").arg(v.toText()); }},
        Column{.field = "Class Ended", .hidden = true, .checkBox = true},
    };
}

} // namespace

class TestRecordSetModel : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_conn;
    RecordSet m_classes;
    std::unique_ptr<RecordSetModel> m_model;
    std::vector<RecordSetModel::Refusal> m_refusals;

    // A class's row as the show file holds it, read through a record set of its own.
    Value stored(int classNo, const QString& field) {
        RecordSet rs;
        rs.open(QString("SELECT * FROM Class_tbl WHERE [Class No] = %1").arg(classNo), m_conn);
        return rs.value(field);
    }

    QModelIndex at(int row, int column) { return m_model->index(row, column); }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_conn = store::dataConnectionText(m_folder->newShow(), TestFolder::Password);
        m_classes.open("Class_tbl", m_conn);
        m_model = std::make_unique<RecordSetModel>(m_classes);
        m_model->setColumns(columns());
        m_refusals.clear();
        m_model->setRefusalHandler([this](const auto& r) { m_refusals.push_back(r); });
    }

    void cleanup() {
        m_model.reset();
        m_classes.close();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void presentsTheRowsThroughTheColumns() {
        QCOMPARE(m_model->rowCount(), 150);
        QCOMPARE(m_model->columnCount(), 5);
        QCOMPARE(at(4, Number).data().toString(), QString("5"));
        QCOMPARE(at(4, Name).data().toString(), QString("Blank"));
        QCOMPARE(at(4, Fee).data().toString(), QString("<0>"));
        QCOMPARE(at(4, Fee).data(Qt::EditRole).toString(), QString("0"));
        QCOMPARE(at(4, Spacer).data().toString(), QString());
        QCOMPARE(at(4, Ended).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(at(0, Fee).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(m_model->headerData(Fee, Qt::Horizontal).toString(), QString("Fee"));
        QVERIFY(m_model->isHidden(Ended));

        QVERIFY(at(0, Name).flags() & Qt::ItemIsEditable);
        QVERIFY(!(at(0, Number).flags() & Qt::ItemIsEditable));
        QVERIFY(!(at(0, Spacer).flags() & Qt::ItemIsEditable));
        QVERIFY(at(0, Ended).flags() & Qt::ItemIsUserCheckable);
        QVERIFY(!m_model->setData(at(0, Number), "99"));
        QVERIFY(!m_model->setData(at(0, Spacer), "x"));
        QVERIFY(!m_classes.hasPendingChanges());
    }

    void anUnknownFieldIsRefusedWhenTheColumnsAreSet() {
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 m_model->setColumns({RecordSetModel::Column{.field = "Nope"}}));
    }

    void readingCellsLeavesTheRecordSetWhereItWas() {
        m_classes.setAbsolutePosition(40);
        m_model->reset();
        for (int row = 0; row < m_model->rowCount(); ++row)
            m_model->data(at(row, Name));
        QCOMPARE(m_classes.value("Class No").toInt(), 40);
        QCOMPARE(m_model->currentRow(), 39);

        m_classes.moveLast();
        m_classes.moveNext(); // after the last row
        m_model->reset();
        QVERIFY(m_classes.eof());
    }

    void theBeforeHookRefusesWithItsMessage() {
        QVariant seen;
        int seenRow = -1, seenColumn = -1;
        m_model->setBeforeUpdate([&](int row, int column, const QVariant& v, QString* message) {
            seen = v;
            seenRow = row;
            seenColumn = column;
            *message = "Too long for us.";
            return false;
        });
        int written = 0;
        m_model->setAfterUpdate([&](int, int) { ++written; });

        QVERIFY(!m_model->setData(at(7, Name), "Hunters"));
        QCOMPARE(seen.toString(), QString("Hunters"));
        QCOMPARE(seenRow, 7);
        QCOMPARE(seenColumn, int(Name));
        QCOMPARE(m_refusals.size(), size_t(1));
        QCOMPARE(m_refusals[0].reason, Reason::Rule);
        QCOMPARE(m_refusals[0].message, QString("Too long for us."));
        QCOMPARE(at(7, Name).data().toString(), QString("Blank"));
        QVERIFY(!m_classes.hasPendingChanges());
        QCOMPARE(written, 0);
    }

    void anUnchangedCellIsNoChange() {
        int checked = 0;
        m_model->setBeforeUpdate(
            [&](int, int, const QVariant&, QString*) { return ++checked, true; });
        QVERIFY(m_model->setData(at(2, Name), "Blank"));
        QVERIFY(m_model->setData(at(2, Ended), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(checked, 0);
        QVERIFY(!m_classes.hasPendingChanges());
    }

    void aValueTheFieldCannotTakeIsRefused() {
        QVERIFY(!m_model->setData(at(3, Fee), "twelve"));
        QCOMPARE(m_refusals.size(), size_t(1));
        QCOMPARE(m_refusals[0].reason, Reason::Conversion);
        QVERIFY(!m_refusals[0].message.isEmpty());
        QCOMPARE(at(3, Fee).data(Qt::EditRole).toString(), QString("0"));
        QVERIFY(!m_classes.hasPendingChanges());
        QVERIFY(!m_model->setData(at(3, Name), QString(101, 'n'))); // longer than the field
        QCOMPARE(m_refusals.back().reason, Reason::Conversion);
    }

    void anAcceptedCellIsWrittenByTheAfterHook() {
        int afterRow = -1;
        m_model->setAfterUpdate([&](int row, int) {
            afterRow = row;
            QCOMPARE(m_classes.value("Class No").toInt(), 10); // the set is on the edited row
            m_classes.updateBatch();
        });
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(m_model->setData(at(9, Fee), "12.5"));
        QCOMPARE(afterRow, 9);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(at(9, Fee).data().toString(), QString("<12.5>"));
        QCOMPARE(stored(10, "Class Fee").toDouble(), 12.5);
        QVERIFY(m_model->setData(at(9, Ended), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(stored(10, "Class Ended").toBool(), true);
        QVERIFY(m_refusals.empty());
    }

    void aFailedWriteTakesTheCellBackAndSaysWhy() {
        m_model->setAfterUpdate(
            [](int, int) { throw StoreError(StoreError::Code::Sql, "disk I/O error"); });
        QVERIFY(!m_model->setData(at(0, Name), "Western Pleasure"));
        QCOMPARE(m_refusals.size(), size_t(1));
        QCOMPARE(m_refusals[0].reason, Reason::WriteFailed);
        QCOMPARE(m_refusals[0].message, QString("disk I/O error"));
        QCOMPARE(at(0, Name).data().toString(), QString("Blank"));
        QCOMPARE(m_classes.value("Class Name").toText(), QString("Blank"));
        QVERIFY(!m_classes.hasPendingChanges());
    }

    void aFailedWriteKeepsChangesMadeBeforeIt() {
        // A change already pending in the set (made in code) is not the model's to drop.
        m_classes.setAbsolutePosition(2);
        m_classes.setValue("Class Name", Value("Halter"));
        m_model->refresh();
        m_model->setAfterUpdate([](int, int) { throw std::runtime_error("write refused"); });
        QVERIFY(!m_model->setData(at(5, Name), "Trail"));
        QCOMPARE(m_refusals.back().message, QString("write refused"));
        QCOMPARE(at(5, Name).data().toString(), QString("Blank"));
        QCOMPARE(at(1, Name).data().toString(), QString("Halter"));
        QVERIFY(m_classes.hasPendingChanges());
        m_classes.updateBatch();
        QCOMPARE(stored(2, "Class Name").toText(), QString("Halter"));
        QCOMPARE(stored(6, "Class Name").toText(), QString("Blank"));
    }

    void resetFollowsAFilterAndRefreshKeepsTheViewsState() {
        m_classes.setFilter("[Class No] > 140");
        QSignalSpy resets(m_model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        m_model->refresh(); // fewer rows: a reset
        QCOMPARE(resets.size(), 1);
        QCOMPARE(m_model->rowCount(), 10);
        QCOMPARE(at(0, Number).data().toString(), QString("141"));

        m_classes.setSort("[Class No] DESC");
        m_model->refresh(); // the same number of rows: the values change, the rows stay
        QCOMPARE(resets.size(), 1);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(at(0, Number).data().toString(), QString("150"));

        QVERIFY(m_model->moveTo(3));
        QCOMPARE(m_classes.value("Class No").toInt(), 147);
        QCOMPARE(m_model->currentRow(), 3);
        QCOMPARE(m_model->rowOf(m_model->bookmarkAt(3)), 3);
        QVERIFY(!m_model->moveTo(10));
        QCOMPARE(m_model->valueAt(9, Number).toInt(), 141);
    }
};

QTEST_GUILESS_MAIN(TestRecordSetModel)
#include "TestRecordSetModel.moc"
