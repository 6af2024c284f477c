#include "ClassRules.h"

#include "common/Formats.h"

namespace twl::ClassRules {

namespace {

bool numberAtLeast(const QString& text, double minimum) {
    double number = 0;
    return store::parseNumber(text, &number) && number >= minimum;
}

} // namespace

bool nameAccepted(const QString& text) {
    return text.size() <= NameMaxLength;
}

bool feeAccepted(const QString& text) {
    return numberAtLeast(text, 0.0);
}

bool multiplierAccepted(const QString& text) {
    return numberAtLeast(text, MinMultiplier);
}

QString cellRefusal(int gridColumn, const QString& text) {
    switch (gridColumn) {
    case NameColumn:
        return nameAccepted(text) ? QString() : NameTooLong;
    case FeeColumn:
        return feeAccepted(text) ? QString() : FeeRefused;
    case MultiColumn:
        return multiplierAccepted(text) ? QString() : MultiRefused;
    default:
        return {};
    }
}

QString feeDisplay(const store::Value& fee) {
    if (fee.isNull())
        return {};
    // The money form without its dollar sign is "##,##0.00".
    QString text = format::currency(fee.toDouble());
    text.remove(text.indexOf(QLatin1Char('$')), 1);
    return text + QStringLiteral("  ");
}

QString multiplierDisplay(const store::Value& multiplier) {
    if (multiplier.isNull())
        return {};
    return format::twoDecimals(multiplier.toDouble()) + QLatin1Char(' ');
}

QString clearAllQuestion(const QString& showPath) {
    return QStringLiteral("Erase all Class Descriptions from  ") + showPath + QStringLiteral("   ");
}

void blankAll(store::RecordSet& classes) {
    for (classes.moveFirst(); !classes.eof(); classes.moveNext()) {
        classes.setValue(QStringLiteral("Class Name"), store::Value(BlankName));
        classes.setValue(QStringLiteral("Class Fee"), store::Value(BlankFee));
        classes.setValue(QStringLiteral("Class Multi"), store::Value(BlankMulti));
    }
}

QString classFilter(const QString& classNumberText) {
    return QStringLiteral("[Class No] = '") + classNumberText + QLatin1Char('\'');
}

} // namespace twl::ClassRules
