#include "settings/uSettings.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

#include "base/ApiCredentials.h"
#include "base/WorkerHost.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

QFont TahomaPixels(int pixels, bool bold) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// The edits start at 168 pixels, or after the wider label where the platform's fallback
// for Tahoma is wider; both end at the same right edge.
int EditLeft(const QStringList& captions) {
  const QFontMetrics metrics(TahomaPixels(11, true));
  int widest = 0;
  for (const QString& caption : captions)
    widest = std::max(widest, metrics.horizontalAdvance(caption));
  return std::max(168, 8 + widest + 8);
}

QLineEdit* AddLabelledEdit(QWidget* box, const QString& caption, int top, int left) {
  constexpr int kEditRight = 168 + 377;
  auto* label = new QLabel(caption, box);
  label->setFont(TahomaPixels(11, true));
  label->setGeometry(8, top + 4, left - 12, 16);
  auto* edit = new QLineEdit(box);
  edit->setFont(TahomaPixels(13, false));
  edit->setGeometry(left, top, kEditRight - left, 24);
  label->setBuddy(edit);
  return edit;
}

}  // namespace

TfSettings::TfSettings(const ApiCredentials& credentials, QWidget* parent)
    : QDialog(parent), credentials_(credentials) {
  setObjectName(QStringLiteral("fSettings"));
  setWindowTitle(QStringLiteral("Kelvaro - Settings"));
  setFont(TahomaPixels(11, false));
  setModal(true);
  resize(585, 200);

  gbGoogle = new QGroupBox(QStringLiteral("Google"), this);
  gbGoogle->setObjectName(QStringLiteral("gbGoogle"));
  gbGoogle->setGeometry(8, 24, 561, 129);
  const QString code_caption = QStringLiteral("Custom Search Engine Code");
  const QString key_caption = QStringLiteral("API Key");
  const int edit_left = EditLeft({code_caption, key_caption});
  leCustomSearchEngineCode = AddLabelledEdit(gbGoogle, code_caption, 40, edit_left);
  leCustomSearchEngineCode->setObjectName(QStringLiteral("leCustomSearchEngineCode"));
  leAPIKey = AddLabelledEdit(gbGoogle, key_caption, 86, edit_left);
  leAPIKey->setObjectName(QStringLiteral("leAPIKey"));

  BitBtn1 =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(176, 168, 75, 25);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { done(kResultOk); });

  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QStringLiteral("Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(272, 168, 75, 25);
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kResultCancel); });

  BitBtn3 = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop),
                            QStringLiteral("Terminate program"), this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setGeometry(368, 168, 161, 25);
  BitBtn3->setVisible(false);
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });

  // Tab order: engine code, API key, then the buttons.
  setTabOrder(leCustomSearchEngineCode, leAPIKey);
  setTabOrder(leAPIKey, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, BitBtn3);
}

int TfSettings::Execute() {
  move(0, 0);
  return exec();
}

void TfSettings::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TfSettings::reject() { done(kResultCancel); }

void TfSettings::FormShow() {
  const Credentials values = credentials_.Get();
  leAPIKey->setText(ToQString(values.api_key));
  leCustomSearchEngineCode->setText(ToQString(values.engine_code));
  BitBtn3->setVisible(true);
  BitBtn3->setEnabled(true);
  leCustomSearchEngineCode->setFocus();
}

void TfSettings::BitBtn3Click() { done(kResultTerminate); }

}  // namespace kelvaro
