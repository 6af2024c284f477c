#include "DialogFileChooser.h"

#include <QDir>
#include <QFileDialog>

namespace twl {

QString DialogFileChooser::choose(const Request& request) {
    QFileDialog dialog(m_parent, request.title, QDir::currentPath(), request.filter);
    dialog.setAcceptMode(request.forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A new show is named in the same dialog, so a name that does not exist yet is taken.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.presetName.isEmpty())
        dialog.selectFile(request.presetName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace twl
