#include "tests/e2e/DemoSession.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <map>

#include "grid/view/GridHeaderView.h"
#include "grid/view/GridTableModel.h"
#include "grid/view/TResultGrid.h"

#ifndef KELVARO_E2E_ARTIFACTS_DEFAULT
#define KELVARO_E2E_ARTIFACTS_DEFAULT "build/e2e-artifacts"
#endif

namespace kelvaro::e2e {

const char kDemoKeywords[] =
    "niche trail running shoes\ncommon garden tools\npopular phone cases\nfew results here";

DemoSession::DemoSession(bool with_volume) : store_(folder_.File("Settings.reg")) {
  // As kelvaro-demo starts: its own hive holding the demo key, the in-process service.
  if (with_volume) {
    store_.SaveSettings(
        Credentials{"demo-key", "demo-cx", "", "", "demo-volume-key", "us", "demo-rank-key"},
        /*with_volume=*/true);
  } else {
    store_.Save(Credentials{"demo-key", "demo-cx"});
  }
  services_.endpoint = service_.Endpoint();
  // The chime file goes into the session's folder, so parallel runs do not share one.
  services_.temp_dir = (folder_.path() / "").string();
  MainFormEnvironment environment;
  environment.store = &store_;
  environment.caption = QStringLiteral("Kelvaro (offline demo)");
  environment.initial_keywords = kDemoKeywords;

  frm_ = std::make_unique<Tfrm>(std::move(environment), services_);
  frm_->FormCreate();
  deep_ = std::make_unique<TfrmDeepAnalysis>(services_, frm_.get());
  settings_ = std::make_unique<TfSettings>(services_.credentials, frm_.get());
  frm_->SetDeepAnalysisForm(deep_.get());
  frm_->SetSettingsDialog(settings_.get());
  frm_->FormShow();
  frm_->show();
  frm_->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(frm_.get())) << "the main window never showed";
}

DemoSession::~DemoSession() {
  // Whatever a failed test left open goes first, so nothing waits on it.
  for (int i = 0; i < 10 && QApplication::activeModalWidget() != nullptr; ++i) {
    QApplication::activeModalWidget()->close();
    QApplication::processEvents();
  }
}

QString DemoSession::File(const char* name) const {
  return QString::fromStdString(folder_.File(name));
}

std::shared_ptr<ModalWatch> ModalWatch::Arm(QString what, Match match, Act act, int timeout_ms) {
  auto watch = std::shared_ptr<ModalWatch>(new ModalWatch);
  watch->what_ = std::move(what);
  watch->match_ = std::move(match);
  watch->act_ = std::move(act);
  watch->before_ = QApplication::activeModalWidget();
  watch->deadline_ms_ = QDateTime::currentMSecsSinceEpoch() + timeout_ms;
  watch->self_ = watch;
  QTimer::singleShot(0, [watch] { watch->Poll(); });
  return watch;
}

void ModalWatch::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  // A worker's box leaves its window usable, so it is not modal.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (modal != nullptr) break;
    if (top->objectName() == QLatin1String("KelvaroMessageBox") && top->isVisible()) modal = top;
  }
  if (modal != nullptr && modal != before_ && modal->isVisible() && match_(modal)) {
    title = modal->windowTitle();
    text = MessageBoxText(modal);
    handled_ = true;
    auto keep = std::move(self_);  // act_ may run a nested event loop; stay alive
    static_cast<void>(QTest::qWaitForWindowExposed(modal, 2000));
    act_(modal);
    return;
  }
  if (QDateTime::currentMSecsSinceEpoch() > deadline_ms_) {
    given_up_ = true;
    ADD_FAILURE() << "expected " << what_.toStdString() << ", but it did not appear"
                  << (modal ? " (open instead: \"" + modal->windowTitle().toStdString() + "\")"
                            : std::string());
    // Close what stands in the way, so the action that waits on it returns.
    if (modal != nullptr) modal->close();
    self_.reset();
    return;
  }
  QTimer::singleShot(10, [this] { Poll(); });
}

bool ModalWatch::Wait(int timeout_ms) {
  static_cast<void>(QTest::qWaitFor([this] { return handled_ || given_up_; }, timeout_ms));
  return handled_;
}

ModalWatch::Match IsMessageBox(const QString& title) {
  return [title](QWidget* w) {
    return w->objectName() == QLatin1String("KelvaroMessageBox") && w->windowTitle() == title;
  };
}

ModalWatch::Match IsFileDialog(const QString& object_name) {
  return [object_name](QWidget* w) {
    return qobject_cast<QFileDialog*>(w) != nullptr && w->objectName() == object_name;
  };
}

ModalWatch::Match IsWidget(QWidget* widget) {
  return [widget](QWidget* w) { return w == widget; };
}

QString MessageBoxText(QWidget* box) {
  auto* label = box ? box->findChild<QLabel*>(QStringLiteral("text")) : nullptr;
  return label ? label->text() : QString();
}

QAbstractButton* ButtonCaptioned(QWidget* parent, const QString& caption) {
  for (auto* button : parent->findChildren<QAbstractButton*>()) {
    if (button->text() == caption && button->isVisible()) return button;
  }
  return nullptr;
}

void Click(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString() << " is not shown";
  ASSERT_TRUE(widget->isEnabled()) << widget->objectName().toStdString() << " is disabled";
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void ClickButtonOf(QWidget* box, const QString& caption) {
  QAbstractButton* button = ButtonCaptioned(box, caption);
  if (button == nullptr) {
    ADD_FAILURE() << "no button \"" << caption.toStdString() << "\" in \""
                  << box->windowTitle().toStdString() << "\"";
    box->close();
    return;
  }
  Click(button);
}

void TypeReplacing(QWidget* edit, const QString& text) {
  ASSERT_NE(edit, nullptr);
  edit->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, lines[i]);
  }
}

void EnterFileName(QWidget* dialog, const QString& path) {
  auto* file_dialog = qobject_cast<QFileDialog*>(dialog);
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  if (file_dialog == nullptr || edit == nullptr || buttons == nullptr) {
    ADD_FAILURE() << "not Qt's own file dialog (a native one?)";
    dialog->close();
    return;
  }
  // Typing the path key by key raced the dialog's completion list, which fills from a
  // folder read in the background: now and then it took keys or Enter. Here the dialog
  // goes to the file's folder and the name is put into the file name edit, which reads
  // nothing in the background; the dialog's button then accepts it, as the mouse would.
  const QFileInfo file(path);
  file_dialog->setDirectory(file.absolutePath());
  edit->setText(file.fileName());
  QPushButton* accept = buttons->button(file_dialog->acceptMode() == QFileDialog::AcceptSave
                                            ? QDialogButtonBox::Save
                                            : QDialogButtonBox::Open);
  if (accept == nullptr || !accept->isEnabled()) {
    ADD_FAILURE() << "the file dialog does not take \"" << path.toStdString() << "\"";
    dialog->close();
    return;
  }
  Click(accept);
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms, const QString& what) {
  if (QTest::qWaitFor(done, timeout_ms)) return true;
  SaveScreenshot(QStringLiteral("timeout-") + QString(what).replace(QLatin1Char(' '), '-'));
  return false;
}

bool WaitForRunEnd(Tfrm& frm, int timeout_ms) {
  return WaitFor([&] { return !frm.IsSearching(false); }, timeout_ms,
                 QStringLiteral("keyword run end"));
}

bool WaitForRunEnd(TfrmDeepAnalysis& form, int timeout_ms) {
  return WaitFor([&] { return !form.IsAnalysing(); }, timeout_ms,
                 QStringLiteral("deep analysis end"));
}

namespace {

QModelIndex CellIndex(TResultGrid& grid, int col, int row) {
  // The grid's header row 0 is the view's header: data row r is the view's row r - 1.
  return grid.model()->index(row - 1, col);
}

}  // namespace

void ClickCheckBox(TResultGrid& grid, int row) {
  const QModelIndex index = CellIndex(grid, 0, row);
  grid.scrollTo(index);
  const QRect cell = grid.visualRect(index);
  ASSERT_FALSE(cell.isEmpty()) << "row " << row << " is not on screen";
  const QPoint box(cell.left() + 2 + TResultGrid::kCheckSize / 2,
                   cell.top() + 2 + TResultGrid::kCheckSize / 2);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, box);
}

void ClickHeader(TResultGrid& grid, int col) {
  GridHeaderView& header = grid.Header();
  // The middle of the section, away from the borders where a double-click auto-sizes.
  const QPoint middle(header.sectionViewportPosition(col) + header.sectionSize(col) / 2,
                      header.height() / 2);
  QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
}

QColor ShownCellColor(TResultGrid& grid, int col, int row) {
  const QModelIndex index = CellIndex(grid, col, row);
  grid.scrollTo(index);
  QApplication::processEvents();
  const QRect cell = grid.visualRect(index);
  if (cell.isEmpty()) return QColor();
  const QImage picture = grid.viewport()->grab(cell).toImage();
  // The most frequent colour of the right quarter of the cell, clear of the text and
  // of the grid lines.
  std::map<QRgb, int> seen;
  for (int x = picture.width() * 3 / 4; x < picture.width() - 3; ++x) {
    for (int y = 3; y < picture.height() - 3; ++y) ++seen[picture.pixel(x, y) & 0xFFFFFF];
  }
  QRgb best = 0;
  int best_count = -1;
  for (const auto& [rgb, count] : seen) {
    if (count > best_count) best = rgb, best_count = count;
  }
  return best_count < 0 ? QColor() : QColor::fromRgb(best);
}

QString SaveScreenshot(const QString& name) {
  QString folder = qEnvironmentVariable("KELVARO_E2E_ARTIFACTS");
  if (folder.isEmpty()) folder = QStringLiteral(KELVARO_E2E_ARTIFACTS_DEFAULT);
  if (!QDir().mkpath(folder)) return QString();
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return QString();
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  return screen->grabWindow(0).save(path) ? path : QString();
}

bool SaveWidgetPicture(QWidget* widget, const QString& path) {
  QApplication::processEvents();
  return widget->grab().save(path, "PNG");
}

QString FileText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromLocal8Bit(file.readAll());
}

QStringList FileLines(const QString& path) {
  QStringList lines = FileText(path).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace kelvaro::e2e
