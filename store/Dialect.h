#pragma once

#include <QString>

namespace store {

// The program's SQL texts use a few forms the engine here lacks; this rewrites just those,
// outside quoted texts and bracketed names:
//   TRUE / FALSE           -> 1 / 0
//   #2026-12-07#, #12/7/2026#  -> '2026-12-07'
QString rewriteJetSql(const QString& sql);

} // namespace store
