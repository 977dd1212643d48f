#include "ui/RunServices.h"

#include <exception>

#include "base/TempPath.h"

namespace kelvaro {

std::string RunServices::ChimeFile() const {
  return (temp_dir.empty() ? GetTempDir() : temp_dir) + kChimeFileName;
}

std::string RunServices::ChimePath() const noexcept {
  try {
    return ChimeFile();
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace kelvaro
