#pragma once

#include <string>

namespace kelvaro {

// The user's temporary folder, ending in the platform's path separator: %TEMP% on Windows,
// elsewhere a folder no other user can enter (see UserTempFolder), so that nobody else can
// hold or plant the files Kelvaro keeps there.
// Throws kelvaro::Error "System Error.  Code: <n>.\r\n<text>" when the system cannot
// tell it, or "A call to an OS function failed" when it gives no error code.
std::string GetTempDir();

}  // namespace kelvaro
