#include "ui/OpenLink.h"

#include <QDesktopServices>
#include <QUrl>

#include "base/Text.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

std::function<void(const std::string&)>& Opener() {
  static std::function<void(const std::string&)> opener;
  return opener;
}

}  // namespace

bool IsOpenableLink(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos) return false;
  const std::string scheme = LowerAscii(std::string_view(url).substr(0, colon));
  if (scheme == "mailto") return colon + 1 < url.size();
  if (scheme != "http" && scheme != "https") return false;
  return url.compare(colon, 3, "://") == 0 && colon + 3 < url.size();
}

bool OpenLink(const std::string& url) {
  if (!IsOpenableLink(url)) return false;
  if (Opener()) {
    Opener()(url);
  } else {
    QDesktopServices::openUrl(QUrl(ToQString(url), QUrl::TolerantMode));
  }
  return true;
}

void SetLinkOpenerForTesting(std::function<void(const std::string&)> opener) {
  Opener() = std::move(opener);
}

}  // namespace kelvaro
