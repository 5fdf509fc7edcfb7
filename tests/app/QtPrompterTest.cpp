// The real dialogs, answered by key presses sent once each dialog is up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/QtPrompter.h"

using namespace hemulu;

namespace {

// Runs `answer` on the modal dialog as soon as it is shown. When the answer leaves the
// dialog open (an assertion inside it failed), the dialog is rejected so that the
// prompter returns and the test reports the failure instead of hanging.
void WhenDialogShows(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    QPointer<QWidget> guard(dialog);
    answer(dialog);
    if (guard && guard->isVisible()) {
      ADD_FAILURE() << "the answer left the dialog open";
      if (auto* box = qobject_cast<QDialog*>(guard.data()))
        box->reject();
      else
        guard->close();
    }
  });
  timer->start();
}

}  // namespace

TEST(QtPrompter, MessageShowsTheIconCaptionAndAnOkButton) {
  QtPrompter prompter;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString ok_text;
  WhenDialogShows([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    icon = box->icon();
    ok_text = box->button(QMessageBox::Ok)->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  prompter.ShowMessage("打开数据库失败！", MessageKind::Stop);
  EXPECT_EQ(caption, "禾木鹭进销存");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(ok_text, "确定");
}

TEST(QtPrompter, ConfirmAndInputBoxTellOkFromCancel) {
  QtPrompter prompter;
  WhenDialogShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
  EXPECT_TRUE(prompter.Confirm("删除？", "警告！"));
  WhenDialogShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_FALSE(prompter.Confirm("删除？", "警告！"));

  WhenDialogShows([](QWidget* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setText(" 735 ");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  EXPECT_EQ(prompter.AskText("请输入超级管理员密码", "超管"), std::optional<QString>(" 735 "));
  WhenDialogShows([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  EXPECT_EQ(prompter.AskText("请输入超级管理员密码", "超管"), std::nullopt);
}

TEST(QtPrompter, EnterKeepsTheDataWhereCancelIsTheDefaultAndPasswordsAreMasked) {
  QtPrompter prompter;
  WhenDialogShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
  EXPECT_FALSE(prompter.Confirm("文件已经存在，要替换它吗？", "备份数据库", ConfirmDefault::Cancel));

  std::vector<QLineEdit::EchoMode> modes;
  auto answer = [&modes](QWidget* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    modes.push_back(edit->echoMode());
    edit->setText("735");
    QTest::keyClick(edit, Qt::Key_Return);
  };
  WhenDialogShows(answer);
  EXPECT_EQ(prompter.AskText("请输入超级管理员密码", "超管", TextEcho::Masked), std::optional<QString>("735"));
  WhenDialogShows(answer);
  EXPECT_EQ(prompter.AskText("备注", "备注"), std::optional<QString>("735"));
  EXPECT_EQ(modes, (std::vector<QLineEdit::EchoMode>{QLineEdit::Password, QLineEdit::Normal}));
}

// The start-up question names its two answers; Enter takes the first, Esc the second.
TEST(QtPrompter, ATwoAnswerQuestionShowsItsAnswersAndEnterTakesTheFirst) {
  QtPrompter prompter;
  QStringList buttons;
  WhenDialogShows([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_TRUE(prompter.ChooseBetween("无法连接数据库服务器", "禾木鹭进销存", "重试", "打开本机数据文件"));
  buttons.sort();
  EXPECT_EQ(buttons, QStringList({"打开本机数据文件", "重试"}));
  WhenDialogShows([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  EXPECT_FALSE(prompter.ChooseBetween("无法连接数据库服务器", "禾木鹭进销存", "重试", "打开本机数据文件"));
}
