#pragma once

#include <QDialog>

namespace twl {

// A dialog that finds nothing to offer closes itself as soon as it is shown, with the result
// given; the command that opened it then reads the shared dialog result.
void closeOnceShown(QDialog& dialog, QDialog::DialogCode result);

} // namespace twl
