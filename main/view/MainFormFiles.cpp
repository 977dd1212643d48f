// The main window's project and export buttons: Save Project, Open Project, Export to CSV,
// Export to HTML and Export to Excel, each behind its file dialog and, for an existing file,
// the overwrite question.
#include <QFileDialog>

#include "grid/view/TResultGrid.h"
#include "main/KeywordGrid.h"
#include "main/ProjectFiles.h"
#include "main/view/MainForm.h"
#include "ui/FormParts.h"
#include "ui/MessageBox.h"
#include "ui/TextConvert.h"

namespace kelvaro {

QString Tfrm::ChooseSaveFile(QFileDialog* dialog) {
  return kelvaro::ChooseSaveFile(dialog, RunFileDialog, this);
}

// A failed save shows its error in the standard error box (RunHandler); the grid's safe
// writing leaves an existing file as it was.
void Tfrm::bSaveClick() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(true);
  gRes->Model().SaveCSV(FromQString(file));
}

void Tfrm::bOpenClick() {
  if (IsSearching(true)) return;
  const QString file = RunFileDialog(dlgO);
  if (file.isEmpty()) return;
  gRes->Model().LoadCSV(FromQString(file), -1);
  MainForm::DropLinkKeys(gRes->Model());
  MainForm::AddProjectCheckBoxes(gRes->Model());
}

void Tfrm::bExportClick() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(false);
  MainForm::ExportCSV(gRes->Model(), FromQString(file));
}

void Tfrm::Button3Click() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS2);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(true);
  MainForm::ExportHTML(gRes->Model(), gRes->HTMLVisuals(), FromQString(file));
}

void Tfrm::bExportExcelClick() {
#ifdef KELVARO_XLSX_EXPORT
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS3);
  if (file.isEmpty()) return;
  SaveXLSX(gRes->Model(), MainForm::KeywordSheet(gRes->Model()), FromQString(file));
#endif
}

}  // namespace kelvaro
