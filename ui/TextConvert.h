#pragma once

#include <QString>
#include <string>

namespace kelvaro {

// Core texts are bytes in the system's 8-bit encoding; widgets show QStrings. These are
// the only two places where one becomes the other.
inline QString ToQString(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string FromQString(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace kelvaro
