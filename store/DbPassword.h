#pragma once

namespace store {

// The database password of both data files, scrambled with the support library's built-in key
// (TransCal mode 0). The program unscrambles it once at start-up; the build tools do the same.
inline constexpr const char* ScrambledDbPassword = "A5E86797C7";
inline constexpr int DbPasswordLength = 5;

} // namespace store
