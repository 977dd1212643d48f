#include "ui/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "base/WorkerHost.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

class MessageDialog : public QDialog {
 public:
  MessageDialog(MessageKind kind, const QString& text, int buttons, QWidget* parent)
      : QDialog(parent) {
    setModal(true);
    setWindowTitle(Caption(kind));
    setObjectName("KelvaroMessageBox");

    auto* body = new QHBoxLayout;
    const QStyle::StandardPixmap icon_kind = IconOf(kind);
    if (kind != MessageKind::kPlain) {
      auto* icon = new QLabel;
      const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
      icon->setPixmap(style()->standardIcon(icon_kind, nullptr, this).pixmap(size, size));
      icon->setAlignment(Qt::AlignTop);
      body->addWidget(icon);
    }
    auto* label = new QLabel(text);
    label->setObjectName("text");
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) label->setMaximumWidth(screen->geometry().width() / 2);
    body->addWidget(label, 1);

    auto* row = new QHBoxLayout;
    row->addStretch();
    struct Spec {
      int flag;
      const char* caption;
      int result;
    };
    const Spec specs[] = {{kButtonYes, "&Yes", kResultYes},
                          {kButtonNo, "&No", kResultNo},
                          {kButtonOk, "OK", kResultOk},
                          {kButtonCancel, "Cancel", kResultCancel}};
    const int default_flag = (buttons & kButtonOk) ? kButtonOk : kButtonYes;
    escape_result_ = (buttons & kButtonCancel) ? kResultCancel
                     : (buttons & kButtonNo)   ? kResultNo
                                               : kResultOk;
    for (const Spec& spec : specs) {
      if ((buttons & spec.flag) == 0) continue;
      auto* button = new QPushButton(QString::fromLatin1(spec.caption));
      const int result = spec.result;
      connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
      if (spec.flag == default_flag) {
        button->setDefault(true);
        button->setFocus();
      }
      row->addWidget(button);
    }
    row->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
  }

  int Run() {
    Centre();
    return exec();
  }

  void Centre() {
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->geometry().center());
      move(frame.topLeft());
    }
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      done(escape_result_);
      return;
    }
    QDialog::keyPressEvent(event);
  }
  // The close box always answers Cancel.
  void closeEvent(QCloseEvent* event) override {
    setResult(kResultCancel);
    event->accept();
    done(kResultCancel);
  }

 private:
  static QString Caption(MessageKind kind) {
    switch (kind) {
      case MessageKind::kInformation:
        return QStringLiteral("Information");
      case MessageKind::kConfirmation:
        return QStringLiteral("Confirm");
      default:
        return QStringLiteral("Kelvaro");
    }
  }
  static QStyle::StandardPixmap IconOf(MessageKind kind) {
    switch (kind) {
      case MessageKind::kInformation:
        return QStyle::SP_MessageBoxInformation;
      case MessageKind::kConfirmation:
        return QStyle::SP_MessageBoxQuestion;
      default:
        return QStyle::SP_MessageBoxCritical;
    }
  }

  int escape_result_ = kResultOk;
};

}  // namespace

int ShowMessageBox(MessageKind kind, const std::string& text, int buttons, QWidget* parent) {
  MessageDialog dialog(kind, ToQString(text), buttons, parent);
  return dialog.Run();
}

void OpenMessageBox(MessageKind kind, const std::string& text, int buttons, QWidget* parent,
                    std::function<void(int result)> on_answer) {
  auto* dialog = new MessageDialog(kind, ToQString(text), buttons, parent);
  dialog->setModal(false);
  dialog->setWindowModality(Qt::NonModal);
  QObject::connect(dialog, &QDialog::finished, dialog,
                   [dialog, on_answer = std::move(on_answer)](int result) {
                     dialog->deleteLater();
                     if (on_answer) on_answer(result);
                   });
  dialog->Centre();
  dialog->show();
  dialog->activateWindow();
}

void ShowInformation(const std::string& text, QWidget* parent) {
  ShowMessageBox(MessageKind::kInformation, text, kButtonOk, parent);
}

void ShowPlainMessage(const std::string& text, QWidget* parent) {
  ShowMessageBox(MessageKind::kPlain, text, kButtonOk, parent);
}

int AskConfirmation(const std::string& text, int buttons, QWidget* parent) {
  return ShowMessageBox(MessageKind::kConfirmation, text, buttons, parent);
}

void ShowErrorBox(const std::string& text, QWidget* parent) {
  std::string shown = text;
  if (shown.empty() || shown.back() != '.') shown += '.';
  ShowMessageBox(MessageKind::kError, shown, kButtonOk, parent);
}

}  // namespace kelvaro
