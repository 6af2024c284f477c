#pragma once

#include <QString>

namespace store {

// The program writes its SQL as the Jet engine reads it. The engine here lacks a few of those
// forms; this rewrites just those, outside quoted texts and bracketed names:
//   TRUE / FALSE           -> 1 / 0
//   #2026-12-07#, #12/7/2026#  -> '2026-12-07'
QString rewriteJetSql(const QString& sql);

} // namespace store
