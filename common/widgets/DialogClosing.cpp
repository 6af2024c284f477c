#include "DialogClosing.h"

#include <QTimer>

namespace twl {

void closeOnceShown(QDialog& dialog, QDialog::DialogCode result) {
    if (!dialog.isVisible())
        return;
    QTimer::singleShot(0, &dialog, [&dialog, result] {
        if (dialog.isVisible())
            dialog.done(result);
    });
}

} // namespace twl
