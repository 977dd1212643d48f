#include "ui/FormParts.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "base/WorkerHost.h"
#include "ui/MessageBox.h"

namespace kelvaro {

QFont WindowFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

QLabel* TitleStrip(const QString& text, QWidget* parent) {
  auto* strip = new QLabel(text, parent);
  strip->setFixedHeight(16);
  strip->setAlignment(Qt::AlignCenter);
  strip->setAutoFillBackground(true);
  QPalette palette = strip->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
  strip->setPalette(palette);
  QFont font(QStringLiteral("Tahoma"));
  font.setBold(true);
  strip->setFont(font);
  return strip;
}

QPushButton* HintedButton(const QString& caption, const QString& name, const QString& hint,
                          QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

KeywordPanel BuildKeywordPanel(QWidget* parent, const QString& start_hint,
                               const QString& stop_hint) {
  KeywordPanel parts{};
  parts.panel = new QWidget(parent);
  parts.panel->setObjectName(QStringLiteral("pnlSettings"));
  parts.panel->setFixedHeight(110);
  parts.panel->setAutoFillBackground(true);
  QPalette white = parts.panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  parts.panel->setPalette(white);

  auto* top = new QVBoxLayout(parts.panel);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(6);
  parts.title = TitleStrip(QString(), parts.panel);
  parts.title->setObjectName(QStringLiteral("pnlSettingsTitle"));
  top->addWidget(parts.title);

  parts.controls = new QHBoxLayout;
  parts.controls->setContentsMargins(8, 0, 8, 6);
  parts.controls->setSpacing(8);
  parts.memo = new QPlainTextEdit(parts.panel);
  parts.memo->setObjectName(QStringLiteral("Memo1"));
  parts.memo->setFixedSize(295, 77);
  parts.memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  parts.memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  parts.memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  parts.memo->setStatusTip(QStringLiteral("Keyword phrases, one per line"));
  // A tab typed into a phrase would be sent inside its queries: Tab moves on instead.
  parts.memo->setTabChangesFocus(true);
  parts.controls->addWidget(parts.memo, 0, Qt::AlignTop);

  parts.keywords_column = new QVBoxLayout;
  auto* keywords = new QLabel(QStringLiteral("Keywords"), parts.panel);
  QFont bold = keywords->font();
  bold.setBold(true);
  keywords->setFont(bold);
  parts.keywords_column->addWidget(keywords);
  auto* buttons = new QHBoxLayout;
  parts.start =
      HintedButton(QStringLiteral("Start"), QStringLiteral("bStart"), start_hint, parts.panel);
  parts.stop =
      HintedButton(QStringLiteral("Stop"), QStringLiteral("bStop"), stop_hint, parts.panel);
  buttons->addWidget(parts.start);
  buttons->addWidget(parts.stop);
  parts.keywords_column->addLayout(buttons);
  parts.cost = new QLabel(parts.panel);
  parts.cost->setObjectName(QStringLiteral("lblCost"));
  parts.cost->setStatusTip(QStringLiteral("What Start will send to the search service"));
  parts.controls->addLayout(parts.keywords_column);
  top->addLayout(parts.controls);
  return parts;
}

QProgressBar* ResultsProgressBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(QStringLiteral("barProgress"));
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setFixedHeight(16);
  return bar;
}

BottomPanel BuildBottomPanel(QWidget* parent) {
  BottomPanel parts{};
  parts.panel = new QWidget(parent);
  parts.panel->setObjectName(QStringLiteral("Panel3"));
  parts.panel->setFixedHeight(33);
  parts.row = new QHBoxLayout(parts.panel);
  parts.row->setContentsMargins(6, 4, 6, 4);
  return parts;
}

QStatusBar* WindowStatusBar(QWidget* parent) {
  auto* bar = new QStatusBar(parent);
  bar->setObjectName(QStringLiteral("barStatus"));
  // The label for what a run cost is added now, while no message shows: one added under a
  // message stays hidden after the message goes.
  auto* cost = new QLabel(bar);
  cost->setObjectName(QStringLiteral("lblRunCost"));
  bar->addWidget(cost);
  return bar;
}

QCheckBox* HiddenCheckBox(const QString& caption, const QString& name, bool checked,
                          QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  box->setVisible(false);
  return box;
}

void LockKeywordMemo(QPlainTextEdit* memo, bool locked) {
  memo->setReadOnly(locked);
  QPalette palette = memo->palette();
  palette.setColor(QPalette::Base,
                   locked ? QColor(192, 220, 192) : QApplication::palette().color(QPalette::Base));
  memo->setPalette(palette);
}

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
  }
}

QFileDialog* FileDialog(QWidget* parent, const QString& name, bool save, const QString& suffix,
                        const QStringList& filters) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(name);
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setDefaultSuffix(suffix);
  dialog->setNameFilters(filters);
  // The window asks its own overwrite question.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  return dialog;
}

QFileDialog* ExcelFileDialog(QWidget* parent, const QString& name) {
  return FileDialog(parent, name, true, QStringLiteral("xlsx"),
                    {QStringLiteral("Excel workbook (*.xlsx)")});
}

QString ChooseSaveFile(QFileDialog* dialog, const std::function<QString(QFileDialog*)>& run_dialog,
                       QWidget* parent) {
  QString file = run_dialog(dialog);
  if (file.isEmpty()) return QString();
  if (QFileInfo::exists(file) &&
      AskConfirmation("The file you specified exists. Do you want to overwrite it?",
                      kButtonYes | kButtonCancel, parent) != kResultYes) {
    return QString();
  }
  return file;
}

QString ExecFileDialog(QFileDialog* dialog) {
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return QString();
  return dialog->selectedFiles().constFirst();
}

}  // namespace kelvaro
