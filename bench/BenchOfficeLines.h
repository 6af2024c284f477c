#pragma once

#include "BenchShow.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/Transaction.h"

#include <QString>

// Money lines and payouts beside the sample's entries, in one transaction.
inline void addOfficeLines(const QString& show, int exhibitors) {
    auto connection = store::connectionForFile(show, dataFilePassword());
    store::Transaction transaction(*connection);
    store::Statement charge = connection->prepare(QStringLiteral(
        "INSERT INTO Charges_tbl ([Show Exh No], [Written At], [Charge Kind], [Amount Cents]) "
        "VALUES (?, '2026-04-18 09:00:00', 'Stall', 4500)"));
    store::Statement payment = connection->prepare(QStringLiteral(
        "INSERT INTO Payments_tbl ([Show Exh No], [Written At], [Pay Method], [Amount Cents]) "
        "VALUES (?, '2026-04-18 10:00:00', 'Cash', 2000)"));
    for (int exhibitor = 1; exhibitor <= exhibitors; ++exhibitor) {
        for (store::Statement* line : {&charge, &payment, &payment}) {
            line->reset();
            line->bind(1, store::Value(exhibitor));
            line->step();
        }
    }
    store::Statement payout = connection->prepare(QStringLiteral(
        "INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Exh Nam], [PY Place], [PY Amt]) "
        "SELECT [Class No], [Show Exh No], [Show Exh Nam], 1, 27.5 FROM Entries_tbl "
        "WHERE rowid % 10 = 0"));
    payout.step();
    transaction.commit();
}
