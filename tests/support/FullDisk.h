#pragma once

#include <functional>
#include <string>

namespace kelvaro::testing {

// Runs `write` in a child process whose files may not grow past 4 KiB, which stands in
// for a full disk, and returns the text of the kelvaro::Error it raised: "" when it raised
// none, "(crashed)" when the child did not end normally. Not on Windows (fork, setrlimit).
std::string ErrorOnFullDisk(const std::function<void()>& write);

}  // namespace kelvaro::testing
