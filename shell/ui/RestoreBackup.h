#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QTreeWidget;

namespace twl {

// One backup as the restore dialog lists it.
struct BackupRow {
    QString path;
    QString date; // "2026-12-08"
    QString time; // "14:32:05"
    qint64 count; // entries of a show, members of the organisation file; -1 when unreadable
    qint64 size;  // bytes
};

// "Restore from Backup": the backups of one file, newest first; Restore (or Enter) takes the
// chosen one, Esc or Cancel takes none.
class RestoreBackup : public QDialog {
    Q_OBJECT
public:
    // `what` names the file ("Spring Classic.twl"), `countCaption` the count's column.
    RestoreBackup(const QString& what, const QString& countCaption,
                  const std::vector<BackupRow>& rows, QWidget* parent = nullptr);

    // The chosen backup's path; empty when the dialog was cancelled.
    QString chosen() const { return m_chosen; }

private:
    QTreeWidget* m_list = nullptr;
    QString m_chosen;
};

} // namespace twl
