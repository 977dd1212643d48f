#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTest>
#include <stdexcept>

#include "base/WorkerHost.h"
#include "tests/support/qt/ModalAnswer.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

namespace kelvaro {
namespace {

using testing::AnswerNextModal;
using testing::MessageBoxText;

QStringList ButtonCaptions(QWidget* modal) {
  QStringList captions;
  // Children come in creation order, which is the order on screen.
  for (auto* button : modal->findChildren<QAbstractButton*>()) captions << button->text();
  return captions;
}

TEST(MessageBoxTest, ButtonsStandInFixedOrderWithCaptions) {
  QStringList captions;
  QString title;
  AnswerNextModal([&](QWidget* modal) {
    captions = ButtonCaptions(modal);
    title = modal->windowTitle();
    testing::ClickButton(modal, "&No");
  });
  const int result = ShowMessageBox(MessageKind::kConfirmation, "Clear all rows?",
                                    kButtonCancel | kButtonOk | kButtonNo | kButtonYes);
  EXPECT_EQ(result, kResultNo);
  EXPECT_EQ(captions, (QStringList{"&Yes", "&No", "OK", "Cancel"}));
  EXPECT_EQ(title, "Confirm");
}

struct KeyCase {
  int buttons;
  int key;
  int expected;
};

TEST(MessageBoxTest, EnterAndEscapeChooseAsDesigned) {
  const KeyCase cases[] = {
      {kButtonYes | kButtonNo, Qt::Key_Return, kResultYes},
      {kButtonYes | kButtonNo, Qt::Key_Escape, kResultNo},
      {kButtonYes | kButtonCancel, Qt::Key_Escape, kResultCancel},
      {kButtonOk, Qt::Key_Return, kResultOk},
      {kButtonOk, Qt::Key_Escape, kResultOk},
      {kButtonYes | kButtonNo | kButtonOk | kButtonCancel, Qt::Key_Return, kResultOk},
  };
  for (const KeyCase& c : cases) {
    AnswerNextModal([&](QWidget* modal) {
      QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
      QTest::keyClick(target, static_cast<Qt::Key>(c.key));
    });
    EXPECT_EQ(ShowMessageBox(MessageKind::kPlain, "x", c.buttons), c.expected)
        << "buttons " << c.buttons << " key " << c.key;
  }
}

TEST(MessageBoxTest, CloseBoxAnswersCancel) {
  AnswerNextModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(AskConfirmation("Delete checked row(s)?", kButtonYes | kButtonNo), kResultCancel);
}

TEST(MessageBoxTest, CaptionsOfTheKinds) {
  const std::pair<MessageKind, QString> kinds[] = {{MessageKind::kInformation, "Information"},
                                                   {MessageKind::kPlain, "Kelvaro"},
                                                   {MessageKind::kError, "Kelvaro"}};
  for (const auto& [kind, caption] : kinds) {
    QString title;
    AnswerNextModal([&](QWidget* modal) {
      title = modal->windowTitle();
      testing::ClickButton(modal, "OK");
    });
    ShowMessageBox(kind, "x", kButtonOk);
    EXPECT_EQ(title, caption);
  }
}

TEST(MessageBoxTest, ErrorBoxAddsFullStopOnlyWhenMissing) {
  QString text;
  AnswerNextModal([&](QWidget* modal) {
    text = MessageBoxText(modal);
    testing::ClickButton(modal, "OK");
  });
  ShowErrorBox("Cannot create file \"/x/a.csv\". No such file or directory");
  EXPECT_EQ(text, "Cannot create file \"/x/a.csv\". No such file or directory.");

  AnswerNextModal([&](QWidget* modal) {
    text = MessageBoxText(modal);
    testing::ClickButton(modal, "OK");
  });
  ShowErrorBox("File is empty.");
  EXPECT_EQ(text, "File is empty.");
}

TEST(HandlerGuardTest, ErrorLeavingAHandlerIsShownNotThrown) {
  QString text;
  AnswerNextModal([&](QWidget* modal) {
    text = MessageBoxText(modal);
    testing::ClickButton(modal, "OK");
  });
  bool after = false;
  RunHandler([] { throw std::runtime_error("Invalid cell"); });
  after = true;
  EXPECT_TRUE(after);
  EXPECT_EQ(text, "Invalid cell.");
}

}  // namespace
}  // namespace kelvaro
