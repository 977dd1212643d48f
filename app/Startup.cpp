#include "app/Startup.h"

#include <QApplication>
#include <cstdlib>
#include <exception>

#include "base/TempPath.h"
#include "deep/view/DeepAnalysisForm.h"
#include "settings/view/uSettings.h"
#include "store/AnswerStore.h"
#include "ui/RunController.h"
#include "ui/RunServices.h"

namespace kelvaro {

int RunKelvaro(int& argc, char** argv, const MainFormEnvironment& environment, std::string endpoint,
               std::string answer_store_path) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvaro"));
  // Closing the main window ends the process; hiding the others never does.
  QApplication::setQuitOnLastWindowClosed(false);

  // Declared before the windows, so it is closed after their worker threads have ended.
  AnswerStore answers(answer_store_path.empty() ? DefaultAnswerStorePath()
                                                : std::move(answer_store_path));
  RunServices services;
  services.answers = &answers;
  services.endpoint = std::move(endpoint);
  // The temporary folder is found once; when it cannot be, the chime's own error path says so.
  try {
    services.temp_dir = GetTempDir();
  } catch (const std::exception&) {
  }
  Tfrm frm(environment, services);
  frm.FormCreate();
  TfrmDeepAnalysis frmDeepAnalysis(services, &frm);
  frmDeepAnalysis.SetSettingsStore(environment.store);
  TfSettings fSettings(services.credentials, &frm);
  frm.SetDeepAnalysisForm(&frmDeepAnalysis);
  frm.SetSettingsDialog(&fSettings);

  frm.FormShow();
  // "Terminate program" in the first dialogs: nothing is shown and nothing is stored.
  if (frm.TerminateRequested) return 0;
  frm.show();
  // Once, at start: a store that cannot be used leaves every run asking the service.
  if (!answers.OpenError().empty()) ShowRunCost(frm.barStatus, answers.OpenError());
  const int exit_code = QApplication::exec();
  // Both calls run: each drops its window's pending steps and stops its worker.
  const bool main_stopped = frm.ShutdownWorker();
  const bool deep_stopped = frmDeepAnalysis.ShutdownWorker();
  if (!main_stopped || !deep_stopped) {
    // A worker is stuck in a download and can no longer reach anything; waiting for its
    // time-out would only keep a closing program on screen.
    std::_Exit(exit_code);
  }
  return exit_code;
}

}  // namespace kelvaro
