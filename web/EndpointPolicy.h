#pragma once

#include <string>

namespace kelvaro {

// Whether the settings may keep `endpoint`, where every request sends the API key: one
// IsValidEndpoint accepts, and "http://" (the key in clear text on the network) only with a
// loopback host, "localhost", an address of 127.0.0.0/8 or "[::1]"; any other host needs
// "https://". Empty (the service's own address) is acceptable.
bool IsAcceptableEndpoint(const std::string& endpoint);

// Whether `endpoint` is one IsValidEndpoint accepts that sends the key in clear text to a
// host other than this computer.
bool IsClearTextRemoteEndpoint(const std::string& endpoint);

}  // namespace kelvaro
