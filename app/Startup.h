#pragma once

#include <string>

#include "main/view/MainForm.h"

namespace kelvaro {

// Starts Kelvaro in this order: the application object titled "Kelvaro", the pieces both
// windows share (credentials, chime, the answer store at `answer_store_path` or, when that is
// "", at DefaultAnswerStorePath(), and `endpoint`, where requests go when the settings name no
// endpoint, "" for the chosen service's own address), the main window (its creation writes
// the chime file and loads the settings), the Deep Analysis window, the settings dialog; then the
// forced settings loop, the message loop and the process end. Returns the process exit code.
int RunKelvaro(int& argc, char** argv, const MainFormEnvironment& environment,
               std::string endpoint = std::string(), std::string answer_store_path = std::string());

}  // namespace kelvaro
