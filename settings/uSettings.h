#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvaro {

class ApiCredentials;

// The settings dialog "Kelvaro - Settings": the custom search engine code and the API
// key. Created hidden at start-up and reused for every showing. Results: 1 OK,
// 2 Cancel (also the close box), 7 "Terminate program".
class TfSettings : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kResultTerminate = 7;

  // `credentials`: the main window's values, shown in the edits at every showing.
  explicit TfSettings(const ApiCredentials& credentials, QWidget* parent = nullptr);

  // Fills the edits from the main window's values, shows the dialog modally and returns
  // its result.
  int Execute();

  QGroupBox* gbGoogle;
  QLineEdit* leCustomSearchEngineCode;
  QLineEdit* leAPIKey;
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel
  QPushButton* BitBtn3;  // Terminate program

 protected:
  void showEvent(QShowEvent* event) override;
  // Esc and the close box answer Cancel (2).
  void reject() override;

 private:
  void FormShow();
  void BitBtn3Click();

  const ApiCredentials& credentials_;
};

}  // namespace kelvaro
