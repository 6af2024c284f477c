#include "RestoreBackup.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace twl {

namespace {

QString sizeText(qint64 bytes) {
    return QLocale().toString((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

} // namespace

RestoreBackup::RestoreBackup(const QString& what, const QString& countCaption,
                             const std::vector<BackupRow>& rows, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("RestoreBackup"));
    setWindowTitle(QStringLiteral("Trotwell  [Restore from Backup]"));
    auto* layout = new QVBoxLayout(this);
    auto* caption =
        new QLabel(rows.empty() ? QStringLiteral("There is no backup of %1.").arg(what)
                                : QStringLiteral("Backups of %1, the newest first:").arg(what),
                   this);
    caption->setObjectName(QStringLiteral("backupCaption"));
    layout->addWidget(caption);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("backupList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("Date"), QStringLiteral("Time"), countCaption, QStringLiteral("Size")});
    for (const BackupRow& row : rows) {
        auto* item = new QTreeWidgetItem(
            m_list, {row.date, row.time,
                     row.count < 0 ? QStringLiteral("?") : QLocale().toString(row.count),
                     sizeText(row.size)});
        item->setData(0, Qt::UserRole, row.path);
        item->setToolTip(0, row.path);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setCurrentItem(m_list->topLevelItem(0));
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* restore =
        buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("restoreButton"));
    restore->setDefault(true);
    restore->setEnabled(!rows.empty());
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (QTreeWidgetItem* item = m_list->currentItem()) {
            m_chosen = item->data(0, Qt::UserRole).toString();
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, buttons, &QDialogButtonBox::accepted);
    m_list->setFocus();
    resize(420, 320);
}

} // namespace twl
