#pragma once

#include <stdexcept>
#include <string>

namespace kelvaro {

// A failure on a file or the settings store. what() is the text the user sees.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace kelvaro
