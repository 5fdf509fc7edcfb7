#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include "data/EmbeddedFiles.h"
#include "data/TextFormat.h"

namespace hemulu::test {

ScriptedPrompter::~ScriptedPrompter() {
  for (const QString& text : expected_messages_)
    ADD_FAILURE() << "expected message never shown: " << text.toStdString();
  for (std::size_t i = 0; i < confirms_.size(); ++i) ADD_FAILURE() << "a confirmation answer was never asked for";
  for (std::size_t i = 0; i < texts_.size(); ++i) ADD_FAILURE() << "an input box answer was never asked for";
  for (std::size_t i = 0; i < folders_.size(); ++i) ADD_FAILURE() << "a folder answer was never asked for";
  for (std::size_t i = 0; i < files_.size(); ++i) ADD_FAILURE() << "a file answer was never asked for";
}

void ScriptedPrompter::Message(const QString& text, const QString& caption, MessageKind kind) {
  prompts_.push_back({Prompt::Kind::Message, text, caption, kind});
  if (expected_messages_.empty()) {
    ADD_FAILURE() << "unexpected message: " << text.toStdString();
    return;
  }
  EXPECT_EQ(expected_messages_.front().toStdString(), text.toStdString()) << "a message other than the expected one";
  expected_messages_.pop_front();
}

bool ScriptedPrompter::Confirm(const QString& text, const QString& caption, ConfirmDefault default_button) {
  prompts_.push_back({Prompt::Kind::Confirm, text, caption, MessageKind::Warning, default_button});
  if (confirms_.empty()) {
    ADD_FAILURE() << "unexpected confirmation: " << text.toStdString();
    return false;
  }
  const bool ok = confirms_.front();
  confirms_.pop_front();
  return ok;
}

std::optional<QString> ScriptedPrompter::AskText(const QString& prompt, const QString& title, TextEcho echo) {
  prompts_.push_back({Prompt::Kind::AskText, prompt, title, MessageKind::Information, ConfirmDefault::Ok, echo});
  if (texts_.empty()) {
    ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
    return std::nullopt;
  }
  const Answer answer = texts_.front();
  texts_.pop_front();
  return answer.given ? std::optional<QString>(answer.text) : std::nullopt;
}

std::optional<QString> ScriptedPrompter::ChooseFolder(const QString& title, const QString& folder) {
  prompts_.push_back({Prompt::Kind::ChooseFolder, title, folder, MessageKind::Information});
  if (folders_.empty()) {
    ADD_FAILURE() << "unexpected folder browser: " << title.toStdString();
    return std::nullopt;
  }
  const Answer answer = folders_.front();
  folders_.pop_front();
  return answer.given ? std::optional<QString>(answer.text) : std::nullopt;
}

std::optional<QString> ScriptedPrompter::ChooseFile(const QString& title, const QString& folder, const QString&) {
  prompts_.push_back({Prompt::Kind::ChooseFile, title, folder, MessageKind::Information});
  if (files_.empty()) {
    ADD_FAILURE() << "unexpected file chooser: " << title.toStdString();
    return std::nullopt;
  }
  const Answer answer = files_.front();
  files_.pop_front();
  return answer.given ? std::optional<QString>(answer.text) : std::nullopt;
}

std::vector<QString> ScriptedPrompter::Messages() const {
  std::vector<QString> out;
  for (const Prompt& p : prompts_)
    if (p.kind == Prompt::Kind::Message) out.push_back(p.text);
  return out;
}

TestApp::TestApp() : TestApp(kSuperAdministrator) {}

TestApp::TestApp(const QString& user) {
  if (!WriteWorkingFiles(dir_.path(), dir_.path())) ADD_FAILURE() << "working files not written";
  ctx_ = std::make_unique<AppContext>(dir_.path(), prompter, clock, notifier);
  ctx_->session.SetUser(user, QStringLiteral("735"));
  if (!ctx_->EnsureDatabaseOpen()) ADD_FAILURE() << "template database does not open";
}

QString TestApp::FilePath(const QString& name) const { return dir_.filePath(name); }

qint64 InsertGoods(Database& db, const GoodsRow& r) {
  auto st = db.Prepare(
      "insert into buy (名称,型号,编码,类型,进货数量,进货单价,进货金额,销售数量,销售单价,销售金额,存货数量,存货金额,"
      "入库日期,供货商,备注,首拼) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  EXPECT_TRUE(st.has_value());
  if (!st) return 0;
  st->BindAll(r.name, r.model, r.code, r.category, r.bought, r.buy_price, r.bought_amount, r.sold, r.sell_price,
              r.sold_amount, r.stock, r.stock_amount, DateSqlText(r.date), r.supplier, r.note, r.initials);
  EXPECT_TRUE(st->Run().has_value());
  const qint64 id = db.LastInsertId();
  // Goods that were there before: an opening movement, as an older file gets at open, so
  // that their movements add up to their stock. (Files made before the journal have no
  // table to write it to.)
  if (auto move = db.Prepare("insert into stock_move (日期,操作员,商品号,名称,型号,编码,业务,数量,结存数量) "
                             "values (?,'',?,?,?,?,'期初',?,?)")) {
    move->BindAll(DateSqlText(r.date), id, r.name, r.model, r.code, r.stock, r.stock);
    EXPECT_TRUE(move->Run().has_value());
  }
  return id;
}

qint64 CountRows(Database& db, const char* table) {
  auto st = db.Prepare(std::string("select count(*) from \"") + table + "\"");
  if (!st) return -1;
  auto row = st->Step();
  return row && *row ? st->Int(0) : -1;
}

QAction* FindMenuItem(const QMenu* menu, const QString& caption) {
  return menu ? menu->findChild<QAction*>(caption) : nullptr;
}

void TypeText(QWidget* widget, const QString& text) {
  for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

}  // namespace hemulu::test
