#include "admin/AccountsLogic.h"

#include "data/RowWriter.h"
#include "data/Schema.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

using Kind = ActionError::Kind;

// A refusal with the information icon (a hint to retype) or the stop icon.
ActionError Info(const QString& text, const QString& focus = {}, Kind kind = Kind::Invalid) {
  return {.kind = kind, .message = text, .focus = focus, .icon = MessageKind::Information};
}

ActionError Stop(const QString& text, const QString& focus = {}, Kind kind = Kind::Invalid) {
  return {.kind = kind, .message = text, .focus = focus, .icon = MessageKind::Stop};
}

ActionError Unavailable(const DbError& e) { return DatabaseActionError(e); }
ActionError DatabaseFailure(const DbError& e) { return DatabaseActionError(e); }

const ActionError kOperatorsRefused = Stop(kOperatorRefusedText, {}, Kind::NotAllowed);
const QString kNotAllowedText = QStringLiteral("不允许这么做");
const QString kPasswordMissingText = QStringLiteral("请输入用户密码！");
const QString kChooseAccountText = QStringLiteral("请从上方表格选择要修改的用户名！");
const QString kNameTakenText = QStringLiteral("发现重复用户名，请重新输入");

bool TooLong(const QString& text) { return CharacterCount(text) > schema::kTextLimit; }

// Account management is the super-administrator's alone, whatever window asks.
std::expected<void, ActionError> Ready(AppContext& ctx) {
  if (!ctx.session.IsSuperAdministrator()) return std::unexpected(kOperatorsRefused);
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(Unavailable(open.error()));
  return {};
}

// True when another account than `except_id` carries the name.
std::expected<bool, ActionError> NameTaken(AppContext& ctx, const QString& name, qint64 except_id) {
  auto st = ctx.db.Prepare("select \"ID\" from \"UserName\" where 用户名=? and \"ID\"<>?");
  if (!st) return std::unexpected(DatabaseFailure(st.error()));
  st->BindAll(name, except_id);
  auto row = st->Step();
  if (!row) return std::unexpected(DatabaseFailure(row.error()));
  return *row;
}

// Another till took the name between the check and the write: the server's unique name
// refused the row, and the user is told as the check would have told them.
ActionError NameTakenAtWrite(const QString& focus) { return Stop(kNameTakenText, focus); }

ActionError WriteFailure(const DbError& e, const QString& focus) {
  return e.kind == DbError::Kind::Constraint ? NameTakenAtWrite(focus) : DatabaseFailure(e);
}

}  // namespace

std::expected<std::vector<AccountRow>, ActionError> ListOperatorAccounts(AppContext& ctx) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(Unavailable(open.error()));
  auto st = ctx.db.Prepare("select \"ID\", 用户名, 密码, 权限 from \"UserName\" order by \"ID\"");
  if (!st) return std::unexpected(DatabaseFailure(st.error()));
  std::vector<AccountRow> rows;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseFailure(row.error()));
    if (!*row) break;
    AccountRow a{st->Int(0), st->Text(1), st->Text(2), st->Text(3)};
    if (a.name == kSuperAdministrator) continue;
    rows.push_back(std::move(a));
  }
  return rows;
}

std::expected<qint64, ActionError> AddAccount(AppContext& ctx, const QString& typed_name,
                                              const QString& typed_password) {
  const QString name = typed_name.trimmed();
  const QString password = typed_password.trimmed();
  if (name.isEmpty()) return std::unexpected(Info(QStringLiteral("请输入用户名！"), kNewNameBox));
  if (name == kSuperAdministrator) {
    return std::unexpected(Info(kNotAllowedText, kNewNameBox, Kind::NotAllowed));
  }
  if (password.isEmpty()) return std::unexpected(Info(kPasswordMissingText, kNewPasswordBox));
  if (auto ok = Ready(ctx); !ok) return std::unexpected(ok.error());
  // The check and the write in one transaction: on the file no other writer comes in
  // between; on the server the schema's unique name refuses the second of two at once.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseFailure(tx.error()));
  auto taken = NameTaken(ctx, name, 0);
  if (!taken) return std::unexpected(taken.error());
  if (*taken) return std::unexpected(Stop(kNameTakenText, kNewNameBox));

  RowWriter writer(ctx.db, "UserName");
  writer.Set("用户名", name, QStringLiteral("050"))
      .Set("密码", password, QStringLiteral("051"))
      .Set("权限", kOperatorRole, QStringLiteral("052"));
  auto id = writer.Insert();
  if (!id) {
    const WriteError& e = id.error();
    if (e.code.isEmpty() && e.kind == DbError::Kind::Constraint) return std::unexpected(NameTakenAtWrite(kNewNameBox));
    return std::unexpected(Stop(e.Message(), {}, e.code.isEmpty() ? Kind::Database : Kind::Field));
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(WriteFailure(done.error(), kNewNameBox));
  return *id;
}

namespace {

// The typed name and password of a change, before the database is asked.
std::expected<void, ActionError> CheckChangeTexts(qint64 id, const QString& typed_name, const QString& typed_password) {
  const QString name = typed_name.trimmed();
  const QString password = typed_password.trimmed();
  if (name.isEmpty()) return std::unexpected(Info(kChooseAccountText, kChangeNameBox));
  if (password.isEmpty()) return std::unexpected(Info(kPasswordMissingText, kChangePasswordBox));
  // A second 超级管理员 or two accounts of one name would make the login pick either.
  if (name == kSuperAdministrator) {
    return std::unexpected(Info(kNotAllowedText, kChangeNameBox, Kind::NotAllowed));
  }
  if (TooLong(name)) return std::unexpected(Info(QStringLiteral("用户名最多50个字，请重新输入"), kChangeNameBox));
  if (TooLong(password)) return std::unexpected(Info(QStringLiteral("密码最多50个字，请重新输入"), kChangePasswordBox));
  if (id <= 0) return std::unexpected(Info(kChooseAccountText, kChangeNameBox));
  return {};
}

}  // namespace

std::expected<void, ActionError> CheckAccountChange(AppContext& ctx, qint64 id, const QString& typed_name,
                                                    const QString& typed_password) {
  if (auto ok = CheckChangeTexts(id, typed_name, typed_password); !ok) return ok;
  if (auto ok = Ready(ctx); !ok) return std::unexpected(ok.error());
  auto taken = NameTaken(ctx, typed_name.trimmed(), id);
  if (!taken) return std::unexpected(taken.error());
  if (*taken) return std::unexpected(Stop(kNameTakenText, kChangeNameBox));
  return {};
}

std::expected<void, ActionError> ChangeAccount(AppContext& ctx, qint64 id, const QString& typed_name,
                                               const QString& typed_password) {
  if (auto ok = CheckChangeTexts(id, typed_name, typed_password); !ok) return ok;
  if (auto ok = Ready(ctx); !ok) return std::unexpected(ok.error());
  // Checked again with the write, in one transaction, as an addition is.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseFailure(tx.error()));
  const QString name = typed_name.trimmed();
  auto taken = NameTaken(ctx, name, id);
  if (!taken) return std::unexpected(taken.error());
  if (*taken) return std::unexpected(Stop(kNameTakenText, kChangeNameBox));
  auto changed = ctx.db.Execute("update \"UserName\" set 用户名=?, 密码=?, 权限=? where \"ID\"=? and 用户名<>?", name,
                                typed_password.trimmed(), kOperatorRole, id, kSuperAdministrator);
  if (!changed) return std::unexpected(WriteFailure(changed.error(), kChangeNameBox));
  if (*changed == 0) return std::unexpected(Info(QStringLiteral("该用户已不存在，可能已被删除。"), {}, Kind::Gone));
  if (auto done = tx->Commit(); !done) return std::unexpected(WriteFailure(done.error(), kChangeNameBox));
  return {};
}

std::expected<void, ActionError> DeleteAccount(AppContext& ctx, qint64 id) {
  if (auto ok = Ready(ctx); !ok) return ok;
  auto deleted = ctx.db.Execute("delete from \"UserName\" where \"ID\"=? and 用户名<>?", id, kSuperAdministrator);
  if (!deleted) return std::unexpected(DatabaseFailure(deleted.error()));
  return {};
}

std::expected<void, ActionError> CheckNewSuperAdministratorPassword(const QString& password) {
  if (password.trimmed().isEmpty()) return std::unexpected(Info(QStringLiteral("超管密码不能为空，请重新输入")));
  // The login trims what is typed, so a password with surrounding blanks could never
  // be matched there and would lock the account out.
  if (password != password.trimmed())
    return std::unexpected(Info(QStringLiteral("超管密码的前后不能有空格，请重新输入")));
  if (TooLong(password)) return std::unexpected(Info(QStringLiteral("超管密码最多50个字，请重新输入")));
  return {};
}

std::expected<void, ActionError> SetSuperAdministratorPassword(AppContext& ctx, const QString& password) {
  if (auto ok = CheckNewSuperAdministratorPassword(password); !ok) return ok;
  if (auto ok = Ready(ctx); !ok) return ok;
  auto changed = ctx.db.Execute("update \"UserName\" set 密码=? where 用户名=?", password, kSuperAdministrator);
  if (!changed) return std::unexpected(DatabaseFailure(changed.error()));
  if (*changed == 0) return std::unexpected(Stop(kNoSuperAdministratorMessage, {}, Kind::Gone));
  // Only the login window's hint follows this flag; the password itself is stored.
  (void)ctx.settings.WriteSetupValue(QStringLiteral("password"), QStringLiteral("ture"));
  return {};
}

}  // namespace hemulu
