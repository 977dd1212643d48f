#pragma once

#include <QDate>
#include <QDialog>
#include <functional>
#include <optional>

#include "base/ApiCredentials.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvaro {

// The settings dialog "Kelvaro - Settings": the search service, the custom search engine
// code, the API key and the endpoint, the volume service's key and country, and the domain rank
// service's key. Created hidden at start-up and reused for every showing. Results: 1 OK, 2 Cancel (also the close box), 7 "Terminate program".
class TfSettings : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kResultTerminate = 7;

  // `credentials`: the main window's values, shown in the dialog at every opening.
  explicit TfSettings(const ApiCredentials& credentials, QWidget* parent = nullptr);

  // Whether `values` name a known service and hold what it needs: a key, and an engine code
  // when the service uses one (texts of spaces only count as filled).
  static bool HasNeededValues(const Credentials& values);

  // Fills the dialog from the main window's values, shows it modally and returns its result.
  // Only opening fills it: a show event while it is open (restored after being minimised)
  // keeps what is typed.
  int Execute();

  // The set OK accepted: the chosen service and the edits' texts. A field whose text the user
  // left as shown keeps its stored bytes, so bytes the local encoding cannot show survive.
  Credentials AcceptedValues() const { return accepted_; }

  // "Reuse Days" as the field shows it at the next opening.
  void SetReuseDays(int days) { reuse_days_ = days; }
  // The days the last OK accepted when the field was changed; nullopt when it was left as
  // shown (nothing new to store).
  std::optional<int> AcceptedReuseDays() const { return accepted_reuse_days_; }
  // "Searches At Once" the same way.
  void SetSearchesAtOnce(int searches) { searches_at_once_ = searches; }
  std::optional<int> AcceptedSearchesAtOnce() const { return accepted_searches_at_once_; }

  // Where the dialog takes today's local date from (the closure notice depends on it).
  void SetToday(std::function<QDate()> today);

  QGroupBox* gbGoogle;
  QComboBox* cbSearchService;
  QSpinBox* seSearchesAtOnce;  // "Searches at once", 1 to 16
  QComboBox* cbQueue;  // DataForSEO's "Queue" in that row: "Standard" or "Priority"
  QLabel* lbSearchesAtOnce;
  QLabel* lbQueue;
  QLabel* at_once_note;
  QLabel* lbKeySource;  // where the chosen service's key comes from
  QLabel* lbClosed;     // the Custom Search JSON API's closure, when it has closed
  // With DataForSEO chosen these two rows read "API Login" and "API Password" (masked) and
  // hold its login and password.
  QLineEdit* leCustomSearchEngineCode;
  QLabel* lbCode;
  QLineEdit* leAPIKey;
  QLabel* lbKey;
  QLineEdit* leEndpoint;
  QLabel* lbEndpointRule;  // which endpoints may carry the key
  QGroupBox* gbVolume;     // monthly searches
  QLineEdit* leVolumeKey;
  QLineEdit* leVolumeCountry;
  QGroupBox* gbRank;       // domain ranks
  QLineEdit* leRankKey;
  QSpinBox* seReuseDays;   // "Reuse answers younger than [ ] days (0: always ask the service)"
  QPushButton* BitBtn1;    // OK
  QPushButton* BitBtn2;    // Cancel
  QPushButton* BitBtn3;    // Terminate program

 protected:
  // Esc and the close box answer Cancel (2).
  void reject() override;

 private:
  void FormShow();
  void BitBtn1Click();
  void BitBtn3Click();
  void cbSearchServiceChange();

  const ApiCredentials& credentials_;
  Credentials shown_;     // the values the dialog was filled from
  Credentials accepted_;  // what the last OK accepted
  int reuse_days_ = 0;
  std::optional<int> accepted_reuse_days_;
  int searches_at_once_ = 1;
  std::optional<int> accepted_searches_at_once_;
  std::function<QDate()> today_;
  bool dfs_shown_ = false;  // the two rows hold DataForSEO's login and password
  QString other_code_;      // the texts of the pair the two rows do not show
  QString other_key_;
};

}  // namespace kelvaro
