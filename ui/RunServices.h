#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/ApiCredentials.h"
#include "ui/Chime.h"

namespace kelvaro {

class AnswerStore;
class HttpClient;

// The fixed waits of both windows' runs. Start-up keeps them as they are; tests set them short,
// so that no test waits the product's own half seconds out.
struct RunTimings {
  // Between the phrases of a run; nullopt: the worker's own (half a second).
  std::optional<int> phrase_pause_ms;
  // How long a window going away waits for its worker to return (RunController::Shutdown).
  int shutdown_wait_ms = 1500;
  // A service that answers by task: between two asks which tasks are ready (at most 20 a
  // minute).
  int tasks_ready_interval_ms = 3000;
};

// The pieces both windows share, created once by start-up and handed to both (and the
// credentials to the settings dialog); they outlive the windows. GUI thread, except the
// credentials, which the workers read.
struct RunServices {
  ApiCredentials credentials;
  ChimePlayer chime;  // played at the end of every run of either window
  // Where the chime file goes: found once (start-up does it), so the file is written and
  // played in one folder; "": GetTempDir() on first use, kept from then on.
  mutable std::string temp_dir;
  std::string
      endpoint;  // where queries go when the settings name no endpoint; "": the service's own
  // Where every request of both windows goes (a test's client); nullptr: the platform's client.
  HttpClient* http = nullptr;
  // The answers already paid for, which the workers record in and reuse (nullptr: none).
  // Start-up destroys it only after both windows' worker threads have ended.
  AnswerStore* answers = nullptr;
  // "Reuse Days" as last loaded from the settings store; each run takes it at Start.
  int reuse_days = 0;
  // "Searches At Once" as last loaded; each run takes it at Start.
  int searches_at_once = 1;
  RunTimings timings;

  // The chime file in the temporary folder. Throws kelvaro::Error when there is no
  // temporary folder.
  std::string ChimeFile() const;
  // The same, or "" (nothing to play) when there is no temporary folder.
  std::string ChimePath() const noexcept;
};

}  // namespace kelvaro
