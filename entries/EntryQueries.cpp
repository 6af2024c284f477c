#include "EntryQueries.h"

#include "EntryRules.h"

#include <cmath>

namespace twl::EntryQueries {

QString exhibitorListQuery(const store::Value& exhibitorNo) {
    if (exhibitorNo.isNull())
        return ExhibitorListQuery + QStringLiteral(" WHERE [Show Exh No] IS NULL");
    QString literal;
    if (exhibitorNo.isNumeric() && std::isfinite(exhibitorNo.toDouble()))
        literal = numberLiteral(exhibitorNo.toDouble());
    else
        literal = quotedLiteral(exhibitorNo.toText());
    return ExhibitorListQuery + QStringLiteral(" WHERE [Show Exh No] = ") + literal;
}

} // namespace twl::EntryQueries
