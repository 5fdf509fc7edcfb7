#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "admin/AccountsWindow.h"
#include "admin/MaintenanceWindow.h"
#include "admin/SettingsWindow.h"
#include "lists/Grid.h"
#include "ui/SuperAdministratorGate.h"

namespace hemulu {
namespace {

using test::Prompt;
using test::TestApp;
using test::TypeText;

template <class W>
W* Child(QWidget& window, const char* name) {
  W* w = window.findChild<W*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Click(QWidget& window, const char* button) {
  QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

void Type(QWidget& window, const char* box, const QString& text) {
  auto* edit = Child<QLineEdit>(window, box);
  edit->clear();
  edit->setFocus();
  TypeText(edit, text);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(AccountsWindow, AddChangeAndDeleteThroughTheBoxes) {
  TestApp app;
  auto& prompter = app.prompter;
  AccountsWindow window(app.ctx());
  Grid* grid = window.UserGrid();
  EXPECT_EQ(grid->Rows(), 1);  // 超级管理员 is never listed

  Type(window, "新用户名框", QStringLiteral("超级管理员"));
  Type(window, "新密码框", QStringLiteral("1"));
  prompter.ExpectMessage(QStringLiteral("不允许这么做"));
  Click(window, "添加用户");

  Type(window, "新用户名框", QStringLiteral(" 张三 "));
  prompter.ExpectMessage(QStringLiteral("添加用户成功"));
  Click(window, "添加用户");
  ASSERT_EQ(grid->Rows(), 2);
  EXPECT_EQ(grid->CellText(1, AccountsWindow::kNameCol), QStringLiteral("张三"));
  EXPECT_EQ(grid->CellText(1, AccountsWindow::kPasswordCol), QStringLiteral("1"));
  EXPECT_EQ(grid->CellText(1, AccountsWindow::kRoleCol), QStringLiteral("操作员"));
  EXPECT_TRUE(Child<QLineEdit>(window, "新用户名框")->text().isEmpty());

  // Enter in the boxes adds too; a name in use is refused.
  Type(window, "新用户名框", QStringLiteral("张三"));
  Type(window, "新密码框", QStringLiteral("5"));
  prompter.ExpectMessage(QStringLiteral("发现重复用户名，请重新输入"));
  QTest::keyClick(Child<QLineEdit>(window, "新密码框"), Qt::Key_Return);
  EXPECT_EQ(grid->Rows(), 2);

  // Deleting without a chosen row asks and shows nothing; changing asks for a row.
  prompter.Clear();
  Click(window, "删除用户");
  prompter.ExpectMessage(QStringLiteral("请从上方表格选择要修改的用户名！"));
  Click(window, "修改用户");
  EXPECT_EQ(prompter.Prompts().size(), 1u);

  window.SelectRow(1);
  EXPECT_EQ(window.SelectedId(), grid->CellText(1, AccountsWindow::kIdCol));
  EXPECT_EQ(Child<QLineEdit>(window, "修改用户名框")->text(), QStringLiteral("张三"));
  Type(window, "修改密码框", QStringLiteral("2"));
  prompter.AnswerConfirm(false);
  Click(window, "修改用户");
  EXPECT_EQ(prompter.Prompts().back().text, QStringLiteral("确定要修改 [张三] 这个用户名的密码吗？"));
  EXPECT_EQ(prompter.Prompts().back().caption, QStringLiteral("友情提示"));
  EXPECT_EQ(grid->CellText(1, AccountsWindow::kPasswordCol), QStringLiteral("1"));
  prompter.AnswerConfirm(true);
  prompter.ExpectMessage(QStringLiteral("修改数据完成"));
  Click(window, "修改用户");
  EXPECT_EQ(grid->CellText(1, AccountsWindow::kPasswordCol), QStringLiteral("2"));
  // Renaming it to 超级管理员 is refused before anything is asked.
  Type(window, "修改用户名框", QStringLiteral("超级管理员"));
  prompter.ExpectMessage(QStringLiteral("不允许这么做"));
  Click(window, "修改用户");

  prompter.Clear();
  prompter.AnswerConfirm(true);
  Click(window, "删除用户");
  ASSERT_EQ(prompter.Prompts().size(), 1u);
  EXPECT_EQ(prompter.Prompts()[0].caption, QStringLiteral("警告！"));
  EXPECT_EQ(grid->Rows(), 1);
  EXPECT_EQ(test::CountRows(app.ctx().db, "UserName"), 1);
}

TEST(AccountsWindow, SuperAdministratorPasswordNeedsTheOldOne) {
  TestApp app;
  auto& prompter = app.prompter;
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("password"), QStringLiteral("false")));
  AccountsWindow window(app.ctx());
  prompter.AnswerText(QStringLiteral("735 "));
  prompter.ExpectMessage(QStringLiteral("超级管理员密码输入错误,无法完成您的请求"));
  Click(window, "修改超管密码");
  EXPECT_EQ(prompter.Prompts()[0].caption, QStringLiteral("旧的超管密码"));
  EXPECT_EQ(prompter.Prompts()[0].text, QStringLiteral("请输入旧的超级管理员密码,默认超管密码 735"));

  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerText(QString());
  prompter.ExpectMessage(QStringLiteral("超管密码不能为空，请重新输入"));
  Click(window, "修改超管密码");
  EXPECT_EQ(prompter.Prompts()[3].caption, QStringLiteral("新的超管密码"));
  EXPECT_EQ(prompter.Prompts()[3].text, QStringLiteral("请输入新的超管密码"));
  EXPECT_EQ(app.ctx().settings.ReadSetupValue(QStringLiteral("password")), QStringLiteral("false"));

  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerText(std::nullopt);
  Click(window, "修改超管密码");

  // Masked, the new password is typed twice; a slip changes nothing.
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerText(QStringLiteral("8888"));
  prompter.AnswerText(QStringLiteral("888"));
  prompter.ExpectMessage(QStringLiteral("两次输入的新密码不一致，超管密码未修改"));
  Click(window, "修改超管密码");
  EXPECT_EQ(prompter.Prompts().back().icon, MessageKind::Information);
  EXPECT_EQ(prompter.Prompts()[prompter.Prompts().size() - 2].text, QStringLiteral("请再次输入新的超管密码"));
  EXPECT_EQ(app.ctx().settings.ReadSetupValue(QStringLiteral("password")), QStringLiteral("false"));

  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerText(QStringLiteral("8888"));
  prompter.AnswerText(QStringLiteral("8888"));
  prompter.ExpectMessage(QStringLiteral("超级管理密码修改成功"));
  Click(window, "修改超管密码");
  EXPECT_EQ(app.ctx().settings.ReadSetupValue(QStringLiteral("password")), QStringLiteral("ture"));
  prompter.AnswerText(QStringLiteral("8888"));
  EXPECT_TRUE(SuperAdministratorGate(app.ctx(), QStringLiteral("p"), QStringLiteral("t")));
  // Every password box of the window and of the gate masks what is typed, as the login does.
  int password_boxes = 0;
  for (const Prompt& p : prompter.Prompts()) {
    if (p.kind != Prompt::Kind::AskText) continue;
    ++password_boxes;
    EXPECT_EQ(p.echo, TextEcho::Masked) << p.text.toStdString();
  }
  EXPECT_EQ(password_boxes, 12);
}

TEST(SettingsWindow, CancelWritesNothingAndSaveWritesWhatTheControlsReport) {
  TestApp app;
  IniFile& ini = app.ctx().settings;
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("line"), QStringLiteral("7")));
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("beepview"), QStringLiteral("true")));
  const QByteArray before = ReadAll(ini.Path());
  {
    SettingsWindow window(app.ctx());
    EXPECT_EQ(Child<QComboBox>(window, "组合框1")->currentIndex(), -1);
    EXPECT_FALSE(Child<QCheckBox>(window, "选择框1")->isChecked());
    EXPECT_EQ(Child<ColorPicker>(window, "奇数行颜色")->Color(), 15527148);
    Child<ColorPicker>(window, "奇数行颜色")->SetColor(0x00FF00);
    Child<QCheckBox>(window, "选择框2")->setChecked(true);
    Type(window, "编辑框1", QStringLiteral("禾木鹭小店"));
    Click(window, "按钮3");
    EXPECT_EQ(window.result(), QDialog::Rejected);
  }
  {
    SettingsWindow window(app.ctx());
    window.show();
    Child<ColorPicker>(window, "偶数行颜色")->SetColor(0x0000FF);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(window.result(), QDialog::Rejected);
  }
  EXPECT_EQ(ReadAll(ini.Path()), before);

  SettingsWindow window(app.ctx());
  Child<ColorPicker>(window, "欠款文字颜色")->SetColor(0x123456);
  Type(window, "编辑框3", QStringLiteral("0571-1234'567"));
  Click(window, "按钮2");
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("line")), QStringLiteral("-1"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("beepview")), QStringLiteral("false"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("rmbcolor")), QString::number(0x123456));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("tell")), QStringLiteral("0571-1234'567"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("bgone")), QStringLiteral("15527148"));
}

struct MaintenanceFixture {
  TestApp app;
  int replaced = 0;
  MaintenanceWindow window{app.ctx(), [this] { ++replaced; }};
};

TEST(MaintenanceWindow, BackupPathFolderChoiceAndConfirmation) {
  MaintenanceFixture f;
  TestApp& app = f.app;
  auto& prompter = app.prompter;
  auto* box = Child<QLineEdit>(f.window, "编辑框1");
  EXPECT_EQ(box->text(), app.ctx().settings.ReadSetupValue(QStringLiteral("backpath")));

  QTemporaryDir out;
  prompter.AnswerFolder(std::nullopt);
  Click(f.window, "选择位置");
  EXPECT_EQ(prompter.Prompts().back().text, QStringLiteral("请选择要备份到的目录"));
  EXPECT_EQ(box->text(), app.ctx().settings.ReadSetupValue(QStringLiteral("backpath")));
  prompter.AnswerFolder(out.path());
  Click(f.window, "选择位置");
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  EXPECT_EQ(box->text(), target);

  prompter.ExpectMessage(QStringLiteral("备份数据库完成！"));
  Click(f.window, "备份当前数据库");
  EXPECT_EQ(app.ctx().settings.ReadSetupValue(QStringLiteral("backpath")), target);
  const QByteArray first = ReadAll(target);

  // Replacing it is confirmed first; refusing is a failed backup and changes nothing.
  test::InsertGoods(app.ctx().db, {});
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("backpath"), QStringLiteral("/elsewhere.db")));
  prompter.AnswerConfirm(false);
  prompter.ExpectMessage(QStringLiteral("备份数据库失败了"));
  Click(f.window, "备份当前数据库");
  const Prompt& replace = prompter.Prompts()[prompter.Prompts().size() - 2];
  EXPECT_EQ(replace.text, QStringLiteral("文件 %1 已经存在，要替换它吗？").arg(target));
  EXPECT_EQ(replace.default_button, ConfirmDefault::Cancel);  // Enter keeps the older backup
  EXPECT_EQ(ReadAll(target), first);
  EXPECT_EQ(app.ctx().settings.ReadSetupValue(QStringLiteral("backpath")), QStringLiteral("/elsewhere.db"));

  Type(f.window, "编辑框1", app.FilePath(QStringLiteral("data.db")));
  prompter.ExpectMessage(QStringLiteral("备份数据库失败了\n\n不能备份到数据库文件本身，请选择其他位置"));
  Click(f.window, "备份当前数据库");
  EXPECT_EQ(prompter.Prompts().back().icon, MessageKind::Stop);
  EXPECT_EQ(f.replaced, 0);
}

TEST(MaintenanceWindow, ReinitialisationAndRestoreSitBehindTheSuperAdministratorPassword) {
  MaintenanceFixture f;
  TestApp& app = f.app;
  auto& prompter = app.prompter;
  test::InsertGoods(app.ctx().db, {});
  QTemporaryDir out;
  const QString backup = out.filePath(QStringLiteral("b.db"));
  Type(f.window, "编辑框1", backup);
  prompter.ExpectMessage(QStringLiteral("备份数据库完成！"));
  Click(f.window, "备份当前数据库");

  prompter.AnswerText(QStringLiteral("736"));
  prompter.ExpectMessage(QStringLiteral("超级管理员密码输入错误,无法完成您的请求"));
  Click(f.window, "初始化数据库");
  prompter.AnswerText(std::nullopt);
  Click(f.window, "初始化数据库");
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 1);
  EXPECT_EQ(f.replaced, 0);

  prompter.AnswerText(QStringLiteral("735"));
  prompter.ExpectMessage(QStringLiteral("初始化数据库完成"));
  Click(f.window, "初始化数据库");
  const auto& asked = prompter.Prompts()[prompter.Prompts().size() - 2];
  EXPECT_EQ(asked.caption, QStringLiteral("初始化数据库"));
  EXPECT_EQ(asked.text, QStringLiteral("请输入超级管理员密码,才能进行初始化操作"));
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 0);
  EXPECT_EQ(f.replaced, 1);

  prompter.AnswerFile(std::nullopt);
  Click(f.window, "恢复备份数据库");
  // The restore asks first, naming both sides, with Cancel as the default; no changes nothing.
  const QString question = QStringLiteral(
      "当前数据：商品 0 种，销售 0 笔\n备份文件：商品 1 种，销售 0 "
      "笔\n\n恢复后当前数据将被备份文件替换，确定要恢复吗？");
  prompter.AnswerFile(backup);
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(false);
  Click(f.window, "恢复备份数据库");
  EXPECT_EQ(prompter.Prompts().back().text, question);
  EXPECT_EQ(prompter.Prompts().back().default_button, ConfirmDefault::Cancel);
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 0);
  EXPECT_EQ(f.replaced, 1);

  prompter.AnswerFile(backup);
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);
  prompter.ExpectMessage(QStringLiteral("恢复备份数据库完成！\n\n备份文件：%1\n其中有商品 1 种，销售记录 0 条。\n"
                                        "原数据库已另存为 data.db.before-restore")
                             .arg(backup));
  Click(f.window, "恢复备份数据库");
  EXPECT_EQ(prompter.Prompts()[prompter.Prompts().size() - 4].caption, out.path());  // opens where the backup went
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 1);
  EXPECT_EQ(f.replaced, 2);

  prompter.AnswerFile(app.FilePath(QStringLiteral("config.ini")));
  prompter.AnswerText(QStringLiteral("735"));
  prompter.ExpectMessage(
      QStringLiteral("恢复备份数据库失败了，当前数据库未作改动\n\n该文件不是本程序的数据库备份，或者密码不符"));
  Click(f.window, "恢复备份数据库");
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 1);
  EXPECT_EQ(f.replaced, 2);
}

TEST(MaintenanceWindow, CompactionReportsSuccessAFullDiskAndTheEngineRefusingInChinese) {
  MaintenanceFixture f;
  f.app.prompter.ExpectMessage(QStringLiteral("压缩数据库成功"));
  Click(f.window, "压缩当前数据库");
  f.window.SetFreeSpaceProbe([](const QString&) { return qint64(0); });
  f.app.prompter.ExpectMessage(QStringLiteral("压缩数据库失败了\n\n磁盘空间不足"));
  Click(f.window, "压缩当前数据库");
  EXPECT_TRUE(f.app.ctx().db.IsOpen());

  // The engine refuses while a read is still going on: the reason is told in Chinese.
  f.window.SetFreeSpaceProbe(FreeSpaceIn);
  auto reading = f.app.ctx().db.Prepare("select * from UserName");
  ASSERT_TRUE(reading && *reading->Step());
  f.app.prompter.ExpectMessage(QStringLiteral("压缩数据库失败了\n\n") + EngineFailureText(DbError::Kind::Other));
  Click(f.window, "压缩当前数据库");
  EXPECT_EQ(f.app.prompter.Prompts().back().icon, MessageKind::Stop);
}

TEST(MaintenanceWindow, TheBackupPathShowsWhole) {
  TestApp app;
  const QString path = QStringLiteral("/home/禾木鹭/年度备份/二〇二六年十二月/门店一号收银台/每日备份/BackupData.db");
  auto fits = [](QLineEdit* box, const QString& text) {
    const int needed = box->fontMetrics().horizontalAdvance(text);
    EXPECT_GE(box->width(), needed);
    EXPECT_LE(box->width(), needed + 60);  // wide enough, not more
  };
  // The path of the last backup, as the window opens.
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("backpath"), path));
  {
    MaintenanceWindow window(app.ctx(), {});
    window.show();
    QCoreApplication::processEvents();
    auto* box = Child<QLineEdit>(window, "编辑框1");
    EXPECT_EQ(box->toolTip(), path);
    fits(box, path);
  }
  // A chosen folder, and a typed path.
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("backpath"), QStringLiteral("/tmp/b.db")));
  MaintenanceWindow window(app.ctx(), {});
  window.show();
  auto* box = Child<QLineEdit>(window, "编辑框1");
  app.prompter.AnswerFolder(QFileInfo(path).absolutePath());
  Click(window, "选择位置");
  QCoreApplication::processEvents();
  EXPECT_EQ(box->text(), path);
  EXPECT_EQ(box->toolTip(), path);
  fits(box, path);
  Type(window, "编辑框1", QStringLiteral("/tmp/c.db"));
  EXPECT_EQ(box->toolTip(), QStringLiteral("/tmp/c.db"));
}

}  // namespace
}  // namespace hemulu
