#pragma once

#include <string>

namespace kelvaro::testing {

// Starts a settings test from a current-user hive that holds no Kelvaro key. Call it from
// SetUp(). Elsewhere than on Windows the hive is the .reg file at `location`, which the tests
// keep in a fresh temporary folder; it is removed. On Windows the hive is the registry, one for
// every test, so HKEY_CURRENT_USER\Software\Dovrane and everything under it is deleted: only
// where KELVARO_THROWAWAY_REGISTRY=1 says the registry is a throwaway one (scripts/test-windows
// sets it in its fresh Wine prefix). Anywhere else the test is skipped, because it would
// overwrite this user's real Kelvaro settings.
void UseEmptyUserHive(const std::string& location);

}  // namespace kelvaro::testing
