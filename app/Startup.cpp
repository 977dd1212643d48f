#include "app/Startup.h"

#include <QApplication>

#include "deep/DeepAnalysisForm.h"
#include "settings/uSettings.h"

namespace kelvaro {

int RunKelvaro(int& argc, char** argv, MainFormEnvironment environment) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvaro"));
  // Closing the main window ends the process; hiding the others never does.
  QApplication::setQuitOnLastWindowClosed(false);

  Tfrm frm(std::move(environment));
  frm.FormCreate();
  TfrmDeepAnalysis frmDeepAnalysis(frm.Credentials(), frm.MediaPlayer1(), frm.ChimePath(),
                                   frm.Endpoint(), frm.Downloader(), &frm);
  TfSettings fSettings(frm.Credentials(), &frm);
  frm.SetDeepAnalysisForm(&frmDeepAnalysis);
  frm.SetSettingsDialog(&fSettings);

  frm.FormShow();
  // "Terminate program" in the first dialogs: nothing is shown and nothing is stored.
  if (frm.TerminateRequested) return 0;
  frm.show();
  return QApplication::exec();
}

}  // namespace kelvaro
