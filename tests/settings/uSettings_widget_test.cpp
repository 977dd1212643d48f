// The settings dialog, the forced settings loop before the main window appears, the
// chime file written at creation, and the settings written at close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <list>

#include "base/ApiCredentials.h"
#include "main/view/MainForm.h"
#include "settings/SettingsHive.h"
#include "settings/SettingsStore.h"
#include "settings/view/uSettings.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/ModalAnswer.h"
#include "ui/Chime.h"
#include "web/DataForSeo.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

using testing::AnswerNextBox;
using testing::AnswerNextModal;
using testing::SeenBox;
using testing::TempDir;

// Answers the settings dialog once: records what its edits showed, types the given
// texts and presses the button with `caption`.
struct DialogAnswer {
  QString shown_key, shown_code;
  bool seen = false;
};
void AnswerSettings(DialogAnswer* seen, const QString& key, const QString& code,
                    const QString& caption) {
  AnswerNextModal([=](QWidget* modal) {
    auto* dialog = qobject_cast<TfSettings*>(modal);
    if (dialog == nullptr) return;
    seen->seen = true;
    seen->shown_key = dialog->leAPIKey->text();
    seen->shown_code = dialog->leCustomSearchEngineCode->text();
    dialog->leAPIKey->setText(key);
    dialog->leCustomSearchEngineCode->setText(code);
    testing::ClickButton(dialog, caption);
  });
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string hive_ = dir_.File("config/Dovrane/Kelvaro/Settings.reg");
  SettingsStore store_{hive_};

  // Each window comes with fresh shared pieces, as at a new start.
  std::unique_ptr<Tfrm> MakeWindow() {
    RunServices& services = services_.emplace_back();
    services.temp_dir = dir_.path().string() + "/";
    services.endpoint = "http://127.0.0.1:9";
    MainFormEnvironment environment;
    environment.store = &store_;
    auto frm = std::make_unique<Tfrm>(std::move(environment), services);
    dialog_ = std::make_unique<TfSettings>(frm->Credentials());
    frm->SetSettingsDialog(dialog_.get());
    return frm;
  }
  Credentials Stored() {
    Credentials values;
    SettingsStore(hive_).Load(values);
    return values;
  }
  std::list<RunServices> services_;     // outlive the windows made in the test body
  std::unique_ptr<TfSettings> dialog_;  // outlives the windows made in the test body
};

TEST_F(SettingsWindowTest, FirstStartAsksUntilBothValuesAreFilled) {
  auto frm = MakeWindow();
  frm->FormCreate();
  DialogAnswer first, second, third;
  // Each answer queues the next one before it presses its button: OK with the key only,
  // then Cancel with other texts typed, then OK with both (spaces count as filled).
  AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfSettings*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(frm->isVisible());  // the dialog is shown alone
    EXPECT_TRUE(dialog->BitBtn3->isVisible());
    first.seen = true;
    first.shown_key = dialog->leAPIKey->text();
    dialog->leAPIKey->setText("my-key");
    AnswerNextModal([&](QWidget* again) {
      auto* d = qobject_cast<TfSettings*>(again);
      second.seen = true;
      second.shown_key = d->leAPIKey->text();
      second.shown_code = d->leCustomSearchEngineCode->text();
      d->leAPIKey->setText("typed then cancelled");
      AnswerSettings(&third, "my-key", "   ", "OK");
      testing::ClickButton(d, "Cancel");
    });
    testing::ClickButton(dialog, "OK");
  });
  frm->FormShow();
  EXPECT_EQ(first.shown_key, "");
  EXPECT_EQ(second.shown_key, "my-key");  // refilled from the accepted value
  EXPECT_EQ(second.shown_code, "");
  EXPECT_EQ(third.shown_key, "my-key");  // what was typed before Cancel is gone
  EXPECT_EQ(frm->Credentials().APIKey(), "my-key");
  EXPECT_EQ(frm->Credentials().EngineCode(), "   ");
  EXPECT_FALSE(frm->TerminateRequested);
}

TEST_F(SettingsWindowTest, SecondStartDoesNotAskAndCloseWritesBothValues) {
  store_.Save({" key ", "cx "});
  auto frm = MakeWindow();
  frm->FormCreate();
  EXPECT_EQ(frm->Credentials().APIKey(), " key ");
  EXPECT_EQ(frm->Credentials().EngineCode(), "cx ");
  // Should the loop show the dialog anyway, the first turn of its event loop ends it.
  bool asked = false;
  QTimer::singleShot(0, dialog_.get(), [&] {
    if (!dialog_->isVisible()) return;
    asked = true;
    dialog_->BitBtn3->click();
  });
  frm->FormShow();
  QCoreApplication::processEvents();
  EXPECT_FALSE(asked);
  frm->show();
  frm->Credentials().Set({"new key", "new cx"});
  EXPECT_TRUE(frm->close());
  EXPECT_EQ(Stored().api_key, "new key");
  EXPECT_EQ(Stored().engine_code, "new cx");
}

TEST_F(SettingsWindowTest, TerminateAtStartUpLeavesMissingKeyMissing) {
  auto frm = MakeWindow();
  frm->FormCreate();
  DialogAnswer seen;
  AnswerSettings(&seen, "typed", "typed", "Terminate program");
  frm->FormShow();
  EXPECT_TRUE(seen.seen);
  EXPECT_TRUE(frm->TerminateRequested);
  EXPECT_FALSE(std::filesystem::exists(hive_));
}

TEST_F(SettingsWindowTest, EnterChoosesOkAndEscapeCancel) {
  ApiCredentials credentials;
  credentials.Set({"k", "c"});
  TfSettings dialog(credentials);
  AnswerNextModal([](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    QTest::keyClick(d->leAPIKey, Qt::Key_Return);
  });
  EXPECT_EQ(dialog.Execute(), 1);
  AnswerNextModal([](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    QTest::keyClick(d->leCustomSearchEngineCode, Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.Execute(), 2);
  AnswerNextModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(dialog.Execute(), 2);
  EXPECT_EQ(dialog.pos(), QPoint(0, 0));
  EXPECT_EQ(dialog.windowTitle(), "Kelvaro - Settings");
}

TEST(SettingsDialog, StartUpNeedsAKnownServiceWithWhatItUses) {
  EXPECT_TRUE(TfSettings::HasNeededValues({"key", "", kSerpApi}));
  EXPECT_FALSE(TfSettings::HasNeededValues({"key", "", kGoogleCustomSearch}));
  EXPECT_TRUE(TfSettings::HasNeededValues({"key", "cx", ""}));  // a store without a service
  EXPECT_FALSE(TfSettings::HasNeededValues({"", "cx", kSerpApi}));
  EXPECT_FALSE(TfSettings::HasNeededValues({"key", "cx", "Bing"}));
}

TEST_F(SettingsWindowTest, UnknownServiceAsksAndOkStoresTheChosenOne) {
  auto frm = MakeWindow();
  frm->Credentials().Set({"key", "", "Bing", ""});
  QString first_shown;
  std::string kept_after_cancel;
  AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfSettings*>(modal);
    first_shown = dialog->cbSearchService->currentText();
    dialog->cbSearchService->setCurrentText(kSerpApi);
    AnswerNextModal([&](QWidget* again) {
      auto* d = qobject_cast<TfSettings*>(again);
      kept_after_cancel = frm->Credentials().Get().service;
      d->cbSearchService->setCurrentText(kSerpApi);
      testing::ClickButton(d, "OK");  // a key and no engine code is enough for SerpApi
    });
    testing::ClickButton(dialog, "Cancel");
  });
  frm->FormShow();
  EXPECT_EQ(first_shown, kGoogleCustomSearch);
  EXPECT_EQ(kept_after_cancel, "Bing");
  EXPECT_EQ(frm->Credentials().Get().service, kSerpApi);
  EXPECT_EQ(frm->Credentials().Get().engine_code, "");
  EXPECT_FALSE(frm->TerminateRequested);
}

TEST(SettingsDialog, ClosureNoticeForCustomSearchFromTheClosingDay) {
  ApiCredentials credentials;
  TfSettings dialog(credentials);
  dialog.SetToday([] { return QDate(2026, 12, 31); });
  EXPECT_TRUE(dialog.lbClosed->isHidden());
  dialog.SetToday([] { return QDate(2027, 1, 1); });
  EXPECT_FALSE(dialog.lbClosed->isHidden());
  EXPECT_EQ(dialog.lbClosed->text(),
            "The Custom Search JSON API closed on 1 January 2027: choose another search service.");
  dialog.leCustomSearchEngineCode->setText("cx");
  dialog.cbSearchService->setCurrentText(kSerpApi);
  EXPECT_TRUE(dialog.lbClosed->isHidden());
  EXPECT_FALSE(dialog.leCustomSearchEngineCode->isEnabled());
  EXPECT_EQ(dialog.leCustomSearchEngineCode->text(), "cx");
  EXPECT_TRUE(dialog.lbKeySource->text().contains("serpapi.com/manage-api-key"));
}

TEST(SettingsDialog, InvalidEndpointIsRefusedAndTheDialogKeepsWhatWasTyped) {
  ApiCredentials credentials;
  credentials.Set({"key", "cx", kGoogleCustomSearch, ""});
  TfSettings dialog(credentials);
  SeenBox error;
  bool still_open = false;
  QString kept;
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    d->leEndpoint->setText("ftp://proxy.example");
    AnswerNextBox(&error, "OK");
    testing::ClickButton(d, "OK");
    still_open = d->isVisible();
    kept = d->leEndpoint->text();
    d->leEndpoint->setText("http://127.0.0.1:8080/search-proxy");
    testing::ClickButton(d, "OK");
  });
  EXPECT_EQ(dialog.Execute(), 1);
  EXPECT_TRUE(error.text.startsWith("Invalid endpoint \"ftp://proxy.example\""))
      << error.text.toStdString();
  EXPECT_TRUE(still_open);
  EXPECT_EQ(kept, "ftp://proxy.example");
  EXPECT_EQ(dialog.AcceptedValues().endpoint, "http://127.0.0.1:8080/search-proxy");
}

// An endpoint belongs to its service: choosing another empties it. An http:// endpoint on
// another computer would carry the key in clear text: refused, with the rule beside the field.
TEST(SettingsDialog, ServiceChangeEmptiesTheEndpointAndClearTextToAnotherHostIsRefused) {
  ApiCredentials credentials;
  credentials.Set({"key", "", kSerpApi, "https://serp-proxy.example"});
  TfSettings dialog(credentials);
  QString after_change;
  SeenBox error;
  bool still_open = false;
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    d->cbSearchService->setCurrentText(kGoogleCustomSearch);
    after_change = d->leEndpoint->text();
    d->cbSearchService->setCurrentText(kSerpApi);
    d->leEndpoint->setText("http://proxy.example:8080");
    AnswerNextBox(&error, "OK");
    testing::ClickButton(d, "OK");
    still_open = d->isVisible();
    d->leEndpoint->setText("http://localhost:8080");
    testing::ClickButton(d, "OK");
  });
  ASSERT_EQ(dialog.Execute(), 1);
  EXPECT_EQ(after_change, "");
  EXPECT_TRUE(still_open);
  EXPECT_TRUE(error.text.contains("use https://")) << error.text.toStdString();
  EXPECT_EQ(dialog.AcceptedValues().endpoint, "http://localhost:8080");
  EXPECT_TRUE(dialog.lbEndpointRule->text().contains("http:// only for this computer"));
}

// A show event while the dialog is open (restored after being minimised) keeps what is
// typed; the next opening shows the values in memory again.
TEST(SettingsDialog, OnlyOpeningFillsTheFields) {
  ApiCredentials credentials;
  credentials.Set({"stored", "cx"});
  TfSettings dialog(credentials);
  QString kept;
  QString next_opening;
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    d->leAPIKey->setText("half-typed");
    QShowEvent restored;
    QApplication::sendEvent(d, &restored);
    kept = d->leAPIKey->text();
    testing::ClickButton(d, "Cancel");
  });
  EXPECT_EQ(dialog.Execute(), 2);
  AnswerNextModal([&](QWidget* modal) {
    next_opening = qobject_cast<TfSettings*>(modal)->leAPIKey->text();
    modal->close();
  });
  dialog.Execute();
  EXPECT_EQ(kept, "half-typed");
  EXPECT_EQ(next_opening, "stored");
}

// A key saved on Windows in cp1252 is not valid in the local encoding: OK without touching
// it must give back the stored bytes, not the replacement character the edit shows.
TEST(SettingsDialog, OkKeepsTheBytesOfUntouchedFields) {
  ApiCredentials credentials;
  credentials.Set({"k\xE9y", "cx\xE9", "", ""});
  TfSettings dialog(credentials);
  AnswerNextModal([](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    d->leCustomSearchEngineCode->setText("typed");
    testing::ClickButton(d, "OK");
  });
  ASSERT_EQ(dialog.Execute(), 1);
  const Credentials accepted = dialog.AcceptedValues();
  EXPECT_EQ(accepted.api_key, "k\xE9y");
  EXPECT_EQ(accepted.engine_code, "typed");
  EXPECT_EQ(accepted.service, "");  // still the default service, as stored
}

// The rank key has a group of its own: shown at opening, taken by OK.
TEST(SettingsDialog, RankKeyIsShownAndTaken) {
  ApiCredentials credentials;
  credentials.Set({"k", "cx", "", "", "", "", "old-rank"});
  TfSettings dialog(credentials);
  QString shown;
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    shown = d->leRankKey->text();
    EXPECT_EQ(d->gbRank->title(), QStringLiteral("Domain rank (Open PageRank)"));
    d->leRankKey->setText("new-rank");
    testing::ClickButton(d, "OK");
  });
  ASSERT_EQ(dialog.Execute(), 1);
  EXPECT_EQ(shown, QStringLiteral("old-rank"));
  EXPECT_EQ(dialog.AcceptedValues().rank_key, "new-rank");
}

// DataForSEO's login and password take the engine code's and the key's rows (the password
// masked), its queue the row of the searches at once; the SerpApi key stays for a change back,
// and the settings store keeps all three values.
TEST(SettingsDialog, DataForSeoLoginPasswordAndQueue) {
  ApiCredentials credentials;
  credentials.Set({"serp-key", "", kSerpApi});
  TfSettings dialog(credentials);
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    d->cbSearchService->setCurrentText(QString::fromLatin1(kDataForSeo));
    EXPECT_EQ(d->lbCode->text(), QStringLiteral("API Login"));
    EXPECT_EQ(d->lbKey->text(), QStringLiteral("API Password"));
    EXPECT_EQ(d->leAPIKey->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(d->leCustomSearchEngineCode->isEnabled());
    EXPECT_TRUE(d->cbQueue->isVisibleTo(d));
    EXPECT_FALSE(d->seSearchesAtOnce->isVisibleTo(d));
    EXPECT_EQ(d->cbQueue->currentText(), QStringLiteral("Standard"));
    EXPECT_EQ(d->leAPIKey->text(), QString());
    d->leCustomSearchEngineCode->setText("me@example.com");
    d->leAPIKey->setText("pa55");
    d->cbQueue->setCurrentText(QStringLiteral("Priority"));
    testing::ClickButton(d, "OK");
  });
  ASSERT_EQ(dialog.Execute(), 1);
  const Credentials accepted = dialog.AcceptedValues();
  EXPECT_EQ(accepted.service, kDataForSeo);
  EXPECT_EQ(accepted.dfs_login, "me@example.com");
  EXPECT_EQ(accepted.dfs_password, "pa55");
  EXPECT_TRUE(accepted.dfs_priority);
  EXPECT_EQ(accepted.api_key, "serp-key");
  EXPECT_TRUE(TfSettings::HasNeededValues(accepted));

  TempDir dir;
  const std::string hive = dir.File("Settings.reg");
  SettingsStore(hive).SaveSettings(accepted, false);
  Credentials loaded;
  SettingsStore(hive).LoadSearchSettings(loaded);
  SettingsStore(hive).LoadVolumeSettings(loaded);
  EXPECT_EQ(loaded.dfs_login, "me@example.com");
  EXPECT_EQ(loaded.dfs_password, "pa55");
  EXPECT_TRUE(loaded.dfs_priority);

  // Back on SerpApi the rows show its key again.
  credentials.Set(accepted);
  AnswerNextModal([&](QWidget* modal) {
    auto* d = qobject_cast<TfSettings*>(modal);
    EXPECT_EQ(d->leAPIKey->text(), QStringLiteral("pa55"));
    d->cbSearchService->setCurrentText(QString::fromLatin1(kSerpApi));
    EXPECT_EQ(d->leAPIKey->text(), QStringLiteral("serp-key"));
    EXPECT_EQ(d->leAPIKey->echoMode(), QLineEdit::Normal);
    testing::ClickButton(d, "OK");
  });
  ASSERT_EQ(dialog.Execute(), 1);
  EXPECT_EQ(dialog.AcceptedValues().dfs_password, "pa55");
  EXPECT_EQ(dialog.AcceptedValues().api_key, "serp-key");
}

// "Reuse Days" is read at creation and shown in the dialog; OK stores it only when changed.
TEST_F(SettingsWindowTest, ReuseDaysAreShownAndOkStoresThemOnlyWhenChanged) {
  store_.Save({"key", "cx"});
  store_.SaveReuseDays(30);
  auto frm = MakeWindow();
  frm->FormCreate();
  const auto answer = [](int* shown, int typed) {
    AnswerNextModal([=](QWidget* modal) {
      auto* d = qobject_cast<TfSettings*>(modal);
      *shown = d->seReuseDays->value();
      if (typed >= 0) d->seReuseDays->setValue(typed);
      testing::ClickButton(d, "OK");
    });
  };
  const std::string before = testing::ReadBytes(hive_);
  int shown = -1;
  answer(&shown, -1);
  frm->btSettingsClick();
  EXPECT_EQ(shown, 30);
  EXPECT_EQ(testing::ReadBytes(hive_), before);

  answer(&shown, 7);
  frm->btSettingsClick();
  EXPECT_EQ(services_.back().reuse_days, 7);
  EXPECT_EQ(SettingsStore(hive_).LoadReuseDays(), 7);
}

TEST_F(SettingsWindowTest, WrongTypeIsReportedAndTheDialogAsksForTheRest) {
  const auto key = OpenUserHive(hive_)->CreateKey(kSettingsKeyPath);
  ASSERT_TRUE(key->Set(kApiKeyValueName, kRegExpandSz, std::string("%HOME%\\key\0", 12)));
  ASSERT_TRUE(key->Set(kEngineCodeValueName, kRegDword, std::string("\x01\0\0\0", 4)));
  auto frm = MakeWindow();
  SeenBox error;
  AnswerNextBox(&error, "OK");
  frm->FormCreate();
  EXPECT_EQ(error.text, "Invalid data type for 'Engine Code'.");
  EXPECT_EQ(error.title, "Kelvaro");
  EXPECT_EQ(frm->Credentials().APIKey(), "%HOME%\\key");
  DialogAnswer seen;
  AnswerSettings(&seen, "%HOME%\\key", "cx", "OK");
  frm->FormShow();
  EXPECT_EQ(seen.shown_key, "%HOME%\\key");
  frm->show();
  ASSERT_TRUE(frm->close());
  const auto written = OpenUserHive(hive_)->OpenKey(kSettingsKeyPath)->Query(kApiKeyValueName);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->type, kRegSz);  // rewritten as a plain string
}

TEST_F(SettingsWindowTest, FailedWriteAtCloseKeepsTheWindowOpen) {
  // A file where the settings folder should be: the key cannot be created.
  testing::WriteBytes(dir_.File("config"), "not a folder");
  auto frm = MakeWindow();
  frm->Credentials().Set({"k", "c"});
  frm->show();
  SeenBox error;
  AnswerNextBox(&error, "OK");
  EXPECT_FALSE(frm->close());
  EXPECT_EQ(error.text, "Failed to set data for 'APIkey'.");
  EXPECT_TRUE(frm->isVisible());
}

TEST_F(SettingsWindowTest, ChimeFileEqualsTheResourceAndAFolderInTheWaySkipsTheLoad) {
  store_.Save({"key", "cx"});
  {
    auto frm = MakeWindow();
    frm->FormCreate();
    QFile resource(":/chimes.wav");
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray expected = resource.readAll();
    EXPECT_EQ(testing::ReadBytes(dir_.File(kChimeFileName)),
              std::string(expected.constData(), static_cast<size_t>(expected.size())));
    EXPECT_EQ(frm->Credentials().APIKey(), "key");
  }
  std::filesystem::remove(dir_.File(kChimeFileName));
  std::filesystem::create_directory(dir_.File(kChimeFileName));
  auto frm = MakeWindow();
  SeenBox error;
  AnswerNextBox(&error, "OK");
  frm->FormCreate();
  EXPECT_TRUE(error.text.startsWith("Cannot create file \"")) << error.text.toStdString();
  EXPECT_EQ(frm->Credentials().APIKey(), "");  // the load was skipped
  DialogAnswer seen;
  AnswerSettings(&seen, "key", "cx", "OK");
  frm->FormShow();
  EXPECT_TRUE(seen.seen);
}

}  // namespace
}  // namespace kelvaro
