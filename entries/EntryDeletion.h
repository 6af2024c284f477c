#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace store {
class RecordSet;
}

namespace twl {

// The texts of `LastActLabel` after a delete.
QString entryDeletedMessage(const QString& exhibitorNo, const QString& classNo);
QString allEntriesDeletedMessage(const QString& exhibitorNo);

// Deletes every entry with the exhibitor number in one transaction and returns how many were
// deleted. Throws store::StoreError; then nothing is deleted.
int deleteEntriesOfExhibitor(const QString& showConnectionText, qint64 exhibitorNo);

// Deletes the current row of an updatable entry list in one batch, written by `write` (the
// record set's own batch write when none is given). When the write fails the row is back in the
// list, current again, and store::StoreError is thrown.
void deleteCurrentEntry(store::RecordSet& entries, const std::function<void()>& write = {});

} // namespace twl
