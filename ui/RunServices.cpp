#include "ui/RunServices.h"

#include <exception>

#include "base/TempPath.h"

namespace kelvaro {

std::string RunServices::ChimeFile() const {
  if (temp_dir.empty()) temp_dir = GetTempDir();
  return temp_dir + kChimeFileName;
}

std::string RunServices::ChimePath() const noexcept {
  try {
    return ChimeFile();
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace kelvaro
