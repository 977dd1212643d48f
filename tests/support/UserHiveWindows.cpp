// The registry as the hive of the Windows build.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/support/UserHive.h"

namespace kelvaro::testing {

void UseEmptyUserHive(const std::string& /*location*/) {
  const char* throwaway = std::getenv("KELVARO_THROWAWAY_REGISTRY");
  if (throwaway == nullptr || std::string(throwaway) != "1") {
    GTEST_SKIP() << "writes HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings; runs only "
                    "in a throwaway registry (KELVARO_THROWAWAY_REGISTRY=1, as "
                    "scripts/test-windows sets in its fresh Wine prefix)";
  }
  const HKEY current_user = HKEY_CURRENT_USER;
  const LONG result = RegDeleteTreeA(current_user, "Software\\Dovrane");
  if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyA(current_user, "Software\\Dovrane");
  }
  HKEY left = nullptr;
  ASSERT_NE(RegOpenKeyExA(current_user, "Software\\Dovrane", 0, KEY_READ, &left), ERROR_SUCCESS)
      << "HKEY_CURRENT_USER\\Software\\Dovrane could not be deleted";
}

}  // namespace kelvaro::testing
