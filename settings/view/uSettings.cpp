#include "settings/view/uSettings.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>
#include <utility>

#include "base/WorkerHost.h"
#include "web/EndpointPolicy.h"
#include "settings/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/RunTexts.h"
#include "ui/TextConvert.h"
#include "web/DataForSeo.h"
#include "web/SearchService.h"
#include "web/VolumeService.h"

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

constexpr int kEditRight = 168 + 377;

// A bold label on the left of `field`, which ends at the common right edge.
QLabel* PlaceLabelled(QWidget* field, const QString& caption, int top, int left) {
  auto* label = new QLabel(caption, field->parentWidget());
  label->setFont(TahomaPixels(11, true));
  label->setGeometry(8, top + 4, left - 12, 16);
  field->setGeometry(left, top, kEditRight - left, 24);
  label->setBuddy(field);
  return label;
}

QLineEdit* AddLabelledEdit(QWidget* box, const QString& caption, int top, int left,
                           QLabel** label = nullptr) {
  auto* edit = new QLineEdit(box);
  edit->setFont(TahomaPixels(13, false));
  QLabel* placed = PlaceLabelled(edit, caption, top, left);
  if (label != nullptr) *label = placed;
  return edit;
}

// A line of text across the group box, wrapped when the font needs two lines.
QLabel* AddNote(QWidget* box, int top, bool bold) {
  auto* note = new QLabel(box);
  note->setFont(TahomaPixels(11, bold));
  note->setWordWrap(true);
  note->setGeometry(8, top, kEditRight - 8, 30);
  return note;
}

QString KeySourceText(const std::string& service) {
  if (service == kDataForSeo) {
    return QStringLiteral(
        "Login and password: the API login and API password on your DataForSEO API access "
        "page (app.dataforseo.com/api-access), not the ones you sign in with.");
  }
  if (service == kSerpApi) {
    return QStringLiteral(
        "Key: the API key on your SerpApi dashboard (serpapi.com/manage-api-key). SerpApi needs "
        "no engine code.");
  }
  return QStringLiteral(
      "Key: a Google Cloud project with the Custom Search JSON API enabled. Engine code: the "
      "ID (cx) of a Programmable Search Engine.");
}

// The Custom Search JSON API stops answering on this day.
const QDate kCustomSearchClosing(2027, 1, 1);

// The bytes to store for an edit: the stored ones while the edit still shows them, else the
// edit's text.
std::string EditedText(const QString& text, const std::string& stored) {
  if (text == ToQString(stored)) return stored;
  return FromQString(text);
}
std::string EditedText(const QLineEdit* edit, const std::string& stored) {
  return EditedText(edit->text(), stored);
}

bool IsDataForSeo(const std::string& name) {
  const SearchService* service = FindSearchService(name);
  return service != nullptr && service->PostsTasks();
}

}  // namespace

TfSettings::TfSettings(const ApiCredentials& credentials, QWidget* parent)
    : QDialog(parent), credentials_(credentials), today_(&QDate::currentDate) {
  setObjectName(QStringLiteral("fSettings"));
  setWindowTitle(QStringLiteral("Kelvaro - Settings"));
  setFont(TahomaPixels(11, false));
  setModal(true);
  resize(585, 535);

  gbGoogle = new QGroupBox(QStringLiteral("Google"), this);
  gbGoogle->setObjectName(QStringLiteral("gbGoogle"));
  gbGoogle->setGeometry(8, 24, 561, 290);
  const QString service_caption = QStringLiteral("Search service");
  const QString code_caption = QStringLiteral("Custom Search Engine Code");
  const QString key_caption = QStringLiteral("API Key");
  const QString endpoint_caption = QStringLiteral("Endpoint");
  const QString at_once_caption = QStringLiteral("Searches at once");
  const int edit_left = EditLeft({service_caption, code_caption, key_caption, endpoint_caption,
                                  at_once_caption, QStringLiteral("API Password")});

  cbSearchService = new QComboBox(gbGoogle);
  cbSearchService->setObjectName(QStringLiteral("cbSearchService"));
  cbSearchService->setFont(TahomaPixels(13, false));
  for (const std::string& name : SearchServiceNames())
    cbSearchService->addItem(QString::fromStdString(name));
  PlaceLabelled(cbSearchService, service_caption, 16, edit_left);
  // How many searches a run keeps under way: the account's hourly limit is shared out.
  seSearchesAtOnce = new QSpinBox(gbGoogle);
  seSearchesAtOnce->setObjectName(QStringLiteral("seSearchesAtOnce"));
  seSearchesAtOnce->setFont(TahomaPixels(13, false));
  seSearchesAtOnce->setRange(1, kMaxSearchesAtOnceSetting);
  lbSearchesAtOnce = PlaceLabelled(seSearchesAtOnce, at_once_caption, 46, edit_left);
  seSearchesAtOnce->setGeometry(edit_left, 46, 60, 24);
  // DataForSEO posts its tasks together: its row is the queue they go to instead.
  cbQueue = new QComboBox(gbGoogle);
  cbQueue->setObjectName(QStringLiteral("cbQueue"));
  cbQueue->setFont(TahomaPixels(13, false));
  cbQueue->addItem(QString::fromLatin1(kDfsStandardQueue));
  cbQueue->addItem(QString::fromLatin1(kDfsPriorityQueue));
  lbQueue = PlaceLabelled(cbQueue, QStringLiteral("Queue"), 46, edit_left);
  cbQueue->setGeometry(edit_left, 46, 120, 24);
  at_once_note = new QLabel(
      QStringLiteral("1: one at a time"), gbGoogle);
  at_once_note->setFont(TahomaPixels(11, false));
  at_once_note->setGeometry(edit_left + 68, 50, kEditRight - edit_left - 68, 16);
  lbKeySource = AddNote(gbGoogle, 76, false);
  lbKeySource->setObjectName(QStringLiteral("lbKeySource"));
  lbClosed = AddNote(gbGoogle, 108, true);
  lbClosed->setObjectName(QStringLiteral("lbClosed"));
  lbClosed->setText(
      QStringLiteral("The Custom Search JSON API closed on 1 January 2027: choose another search "
                     "service."));
  leCustomSearchEngineCode = AddLabelledEdit(gbGoogle, code_caption, 146, edit_left, &lbCode);
  leCustomSearchEngineCode->setObjectName(QStringLiteral("leCustomSearchEngineCode"));
  leAPIKey = AddLabelledEdit(gbGoogle, key_caption, 182, edit_left, &lbKey);
  leAPIKey->setObjectName(QStringLiteral("leAPIKey"));
  leEndpoint = AddLabelledEdit(gbGoogle, endpoint_caption, 218, edit_left);
  leEndpoint->setObjectName(QStringLiteral("leEndpoint"));
  lbEndpointRule = AddNote(gbGoogle, 246, false);
  lbEndpointRule->setObjectName(QStringLiteral("lbEndpointRule"));
  lbEndpointRule->setText(QStringLiteral(
      "Every request carries the API key: https:// for any host, http:// only for this "
      "computer (localhost, 127.x.x.x, [::1]). Empty: the service's own address."));
  // An endpoint typed for one service would take the key of another there.
  connect(cbSearchService, &QComboBox::currentIndexChanged, this, [this] {
    leEndpoint->clear();
    cbSearchServiceChange();
  });

  // Monthly searches: a volume key of its own, and the country the volumes are for.
  gbVolume = new QGroupBox(QStringLiteral("Monthly searches (Keywords Everywhere)"), this);
  gbVolume->setObjectName(QStringLiteral("gbVolume"));
  gbVolume->setGeometry(8, 322, 561, 76);
  leVolumeKey = AddLabelledEdit(gbVolume, key_caption, 16, edit_left);
  leVolumeKey->setObjectName(QStringLiteral("leVolumeKey"));
  leVolumeKey->setPlaceholderText(QStringLiteral("empty: no Volume and KGR columns"));
  leVolumeCountry = AddLabelledEdit(gbVolume, QStringLiteral("Country"), 46, edit_left);
  leVolumeCountry->setObjectName(QStringLiteral("leVolumeCountry"));
  leVolumeCountry->setPlaceholderText(QStringLiteral("two letters, e.g. us; empty: worldwide"));

  // Domain ranks for Deep Analysis: a key of their own.
  gbRank = new QGroupBox(QStringLiteral("Domain rank (Open PageRank)"), this);
  gbRank->setObjectName(QStringLiteral("gbRank"));
  gbRank->setGeometry(8, 406, 561, 46);
  leRankKey = AddLabelledEdit(gbRank, key_caption, 16, edit_left);
  leRankKey->setObjectName(QStringLiteral("leRankKey"));
  leRankKey->setPlaceholderText(QStringLiteral("empty: no Domain Rank column in Deep Analysis"));

  // Below the group boxes: how old a stored answer may be to stand in for a query.
  auto* reuse_row = new QWidget(this);
  reuse_row->setGeometry(8, 460, 561, 30);
  auto* reuse_layout = new QHBoxLayout(reuse_row);
  reuse_layout->setContentsMargins(0, 0, 0, 0);
  auto* reuse_before = new QLabel(QStringLiteral("Reuse answers younger than"), reuse_row);
  reuse_before->setFont(TahomaPixels(11, true));
  seReuseDays = new QSpinBox(reuse_row);
  seReuseDays->setObjectName(QStringLiteral("seReuseDays"));
  seReuseDays->setFont(TahomaPixels(13, false));
  seReuseDays->setRange(0, kMaxReuseDays);
  reuse_before->setBuddy(seReuseDays);
  reuse_layout->addWidget(reuse_before);
  reuse_layout->addWidget(seReuseDays);
  reuse_layout->addWidget(
      new QLabel(QStringLiteral("days (0: always ask the service)"), reuse_row));
  reuse_layout->addStretch();

  BitBtn1 =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(176, 500, 75, 25);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QStringLiteral("Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(272, 500, 75, 25);
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kResultCancel); });

  BitBtn3 = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop),
                            QStringLiteral("Terminate program"), this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setGeometry(368, 500, 161, 25);
  BitBtn3->setVisible(false);
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });

  setTabOrder(cbSearchService, seSearchesAtOnce);
  setTabOrder(seSearchesAtOnce, cbQueue);
  setTabOrder(cbQueue, leCustomSearchEngineCode);
  setTabOrder(leCustomSearchEngineCode, leAPIKey);
  setTabOrder(leAPIKey, leEndpoint);
  setTabOrder(leEndpoint, leVolumeKey);
  setTabOrder(leVolumeKey, leVolumeCountry);
  setTabOrder(leVolumeCountry, leRankKey);
  setTabOrder(leRankKey, seReuseDays);
  setTabOrder(seReuseDays, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, BitBtn3);
  cbSearchServiceChange();
}

bool TfSettings::HasNeededValues(const Credentials& values) {
  const SearchService* service = FindSearchService(values.service);
  if (service != nullptr && service->PostsTasks()) {
    return !values.dfs_login.empty() && !values.dfs_password.empty();
  }
  if (service == nullptr || values.api_key.empty()) return false;
  return !service->NeedsEngineCode() || !values.engine_code.empty();
}

int TfSettings::Execute() {
  FormShow();
  move(0, 0);
  return exec();
}

void TfSettings::SetToday(std::function<QDate()> today) {
  today_ = std::move(today);
  cbSearchServiceChange();
}

void TfSettings::reject() { done(kResultCancel); }

void TfSettings::FormShow() {
  shown_ = credentials_.Get();
  // An unknown name shows the first service; OK then stores the one chosen.
  const SearchService* service = FindSearchService(shown_.service);
  const int index =
      service == nullptr ? 0 : cbSearchService->findText(QString::fromStdString(service->Name()));
  cbSearchService->setCurrentIndex(std::max(index, 0));
  cbSearchServiceChange();
  // The two rows hold the chosen service's pair; the other pair waits for a change of service.
  const bool dfs = IsDataForSeo(cbSearchService->currentText().toStdString());
  leCustomSearchEngineCode->setText(ToQString(dfs ? shown_.dfs_login : shown_.engine_code));
  leAPIKey->setText(ToQString(dfs ? shown_.dfs_password : shown_.api_key));
  other_code_ = ToQString(dfs ? shown_.engine_code : shown_.dfs_login);
  other_key_ = ToQString(dfs ? shown_.api_key : shown_.dfs_password);
  cbQueue->setCurrentIndex(shown_.dfs_priority ? 1 : 0);
  leEndpoint->setText(ToQString(shown_.endpoint));
  leVolumeKey->setText(ToQString(shown_.volume_key));
  leVolumeCountry->setText(ToQString(shown_.volume_country));
  leRankKey->setText(ToQString(shown_.rank_key));
  seReuseDays->setValue(reuse_days_);
  seSearchesAtOnce->setValue(searches_at_once_);
  BitBtn3->setVisible(true);
  BitBtn3->setEnabled(true);
  cbSearchService->setFocus();
}

void TfSettings::cbSearchServiceChange() {
  const std::string name = cbSearchService->currentText().toStdString();
  const SearchService& service = SearchServiceNamed(name);
  lbKeySource->setText(KeySourceText(name));
  lbClosed->setVisible(name == kGoogleCustomSearch && today_() >= kCustomSearchClosing);
  // The engine code stays as it is while a service without one is chosen.
  leCustomSearchEngineCode->setEnabled(service.NeedsEngineCode());
  leCustomSearchEngineCode->setPlaceholderText(
      service.NeedsEngineCode() ? QString()
                                : QStringLiteral("not needed for ") + QString::fromStdString(name));
  leEndpoint->setPlaceholderText(QString::fromStdString(service.DefaultEndpoint()));
  // DataForSEO's login and password take the engine code's and the key's rows; the texts of
  // the pair not shown are kept for a change back.
  const bool dfs = service.PostsTasks();
  if (dfs != dfs_shown_) {
    const QString code = leCustomSearchEngineCode->text();
    const QString key = leAPIKey->text();
    leCustomSearchEngineCode->setText(other_code_);
    leAPIKey->setText(other_key_);
    other_code_ = code;
    other_key_ = key;
    dfs_shown_ = dfs;
  }
  lbCode->setText(dfs ? QStringLiteral("API Login") : QStringLiteral("Custom Search Engine Code"));
  lbKey->setText(dfs ? QStringLiteral("API Password") : QStringLiteral("API Key"));
  leAPIKey->setEchoMode(dfs ? QLineEdit::Password : QLineEdit::Normal);
  if (dfs) {
    leCustomSearchEngineCode->setEnabled(true);
    leCustomSearchEngineCode->setPlaceholderText(QString());
  }
  lbSearchesAtOnce->setVisible(!dfs);
  seSearchesAtOnce->setVisible(!dfs);
  at_once_note->setVisible(!dfs);
  lbQueue->setVisible(dfs);
  cbQueue->setVisible(dfs);
}

void TfSettings::BitBtn1Click() {
  Credentials values = shown_;
  const std::string chosen = cbSearchService->currentText().toStdString();
  // A stored name that already means the chosen service (empty: the default) stays as stored.
  if (FindSearchService(shown_.service) != FindSearchService(chosen))
    values.service = chosen;
  if (dfs_shown_) {
    values.dfs_login = EditedText(leCustomSearchEngineCode, shown_.dfs_login);
    values.dfs_password = EditedText(leAPIKey, shown_.dfs_password);
    values.engine_code = EditedText(other_code_, shown_.engine_code);
    values.api_key = EditedText(other_key_, shown_.api_key);
  } else {
    values.engine_code = EditedText(leCustomSearchEngineCode, shown_.engine_code);
    values.api_key = EditedText(leAPIKey, shown_.api_key);
    values.dfs_login = EditedText(other_code_, shown_.dfs_login);
    values.dfs_password = EditedText(other_key_, shown_.dfs_password);
  }
  values.dfs_priority = cbQueue->currentIndex() == 1;
  values.endpoint = EditedText(leEndpoint, shown_.endpoint);
  if (const std::string refusal = EndpointRefusal(values.endpoint); !refusal.empty()) {
    ShowErrorBox(refusal, this);
    leEndpoint->setFocus();
    return;
  }
  values.volume_key = EditedText(leVolumeKey, shown_.volume_key);
  values.volume_country = EditedText(leVolumeCountry, shown_.volume_country);
  if (!IsVolumeCountry(values.volume_country)) {
    ShowErrorBox("Invalid country \"" + values.volume_country +
                     "\": give a two-letter code such as us, or leave it empty for worldwide",
                 this);
    leVolumeCountry->setFocus();
    return;
  }
  values.rank_key = EditedText(leRankKey, shown_.rank_key);
  accepted_ = std::move(values);
  accepted_reuse_days_.reset();
  if (seReuseDays->value() != reuse_days_) accepted_reuse_days_ = seReuseDays->value();
  accepted_searches_at_once_.reset();
  if (seSearchesAtOnce->value() != searches_at_once_) {
    accepted_searches_at_once_ = seSearchesAtOnce->value();
  }
  done(kResultOk);
}

void TfSettings::BitBtn3Click() { done(kResultTerminate); }

}  // namespace kelvaro
