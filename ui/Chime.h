#pragma once

#include <QObject>
#include <memory>
#include <string>

class QSoundEffect;

namespace kelvaro {

// The chime file's name in the temporary folder.
inline constexpr char kChimeFileName[] = "chimes.wav";

// Writes the chime carried in the program (resource ":/chimes.wav") to `path`.
// Throws kelvaro::Error `Cannot create file "<path>". <reason>` or "Stream write error".
void WriteChimeFile(const std::string& path);

// The completion chime of both windows. Play() starts the sound and returns at once; a
// chime still playing is cut off and started again. No file: no sound, no message. A
// machine without an audio device plays nothing and nothing else changes.
class ChimePlayer : public QObject {
 public:
  explicit ChimePlayer(QObject* parent = nullptr);
  ~ChimePlayer() override;

  // Plays the file at `path` when it exists. Never throws.
  void Play(const std::string& path);
  // How many times playback was started (tests).
  int PlayCount() const { return play_count_; }

 private:
  QSoundEffect* effect_ = nullptr;  // created on first use
  int play_count_ = 0;
};

}  // namespace kelvaro
