#pragma once

#include "store/DbPassword.h"
#include "supportlib/TWL.h"

#include <QString>

// The database password as the program builds it at start-up.
inline QString dataFilePassword() {
    char buffer[50] = {};
    TransCal(buffer, 1, store::ScrambledDbPassword, " ");
    return QString::fromLatin1(buffer, store::DbPasswordLength);
}
