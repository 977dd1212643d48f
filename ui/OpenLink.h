#pragma once

#include <functional>
#include <string>

namespace kelvaro {

// Every link the program opens goes through OpenLink. Only http, https and mailto
// addresses are handed to the desktop; anything else (a file: URL, a bare path,
// javascript:) could start a local program and is refused. Returns whether the
// address was handed on.
bool OpenLink(const std::string& url);

// True for the addresses OpenLink hands on (scheme http, https or mailto, any case).
bool IsOpenableLink(const std::string& url);

// Replaces what OpenLink does with an allowed address (tests record the calls);
// an empty function restores the desktop's opener.
void SetLinkOpenerForTesting(std::function<void(const std::string&)> opener);

}  // namespace kelvaro
