#pragma once

#include <exception>
#include <utility>

#include "ui/MessageBox.h"

namespace kelvaro {

// Every event handler body runs inside RunHandler: an error that leaves the handler is
// shown in the standard error box and never reaches Qt's event loop.
template <typename Body>
void RunHandler(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (const std::exception& e) {
    try {
      ShowErrorBox(e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      ShowErrorBox("An unexpected error occurred");
    } catch (...) {
    }
  }
}

}  // namespace kelvaro
