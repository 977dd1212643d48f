// The .reg-file hive of the non-Windows builds.

#include <filesystem>
#include <system_error>

#include "tests/support/UserHive.h"

namespace kelvaro::testing {

void UseEmptyUserHive(const std::string& location) {
  std::error_code ignored;
  std::filesystem::remove(location, ignored);
}

}  // namespace kelvaro::testing
