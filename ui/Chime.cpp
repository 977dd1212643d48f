#include "ui/Chime.h"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "ui/TextConvert.h"

namespace kelvaro {

void WriteChimeFile(const std::string& path) {
  QFile resource(QStringLiteral(":/chimes.wav"));
  if (!resource.open(QIODevice::ReadOnly)) {
    throw Error("Cannot create file \"" + FullPath(path) +
                "\". The chime is missing from the program");
  }
  const QByteArray bytes = resource.readAll();
  WriteFileAtomically(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

ChimePlayer::ChimePlayer(QObject* parent) : QObject(parent) {}

ChimePlayer::~ChimePlayer() = default;

void ChimePlayer::Play(const std::string& path) {
  try {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    if (effect_ == nullptr) effect_ = new QSoundEffect(this);
    effect_->stop();
    const QUrl source = QUrl::fromLocalFile(ToQString(path));
    if (effect_->source() != source) effect_->setSource(source);
    effect_->play();
    ++play_count_;
  } catch (...) {
    // A sound that cannot be played must not disturb the end of a run.
  }
}

}  // namespace kelvaro
