#include "admin/ServerSetupLogic.h"

#include "admin/MaintenanceLogic.h"
#include "data/AppContext.h"

namespace hemulu {

namespace {

const QString kHostKey = QStringLiteral("host");
const QString kPortKey = QStringLiteral("port");
const QString kDatabaseKey = QStringLiteral("dbname");
const QString kUserKey = QStringLiteral("user");
const QString kSslKey = QStringLiteral("sslmode");
const QString kRequireTls = QStringLiteral("require");

// The modes that refuse a connection without encryption.
bool Encrypts(const QString& mode) {
  return mode == kRequireTls || mode == QStringLiteral("verify-ca") || mode == QStringLiteral("verify-full");
}

// A control character would end config.ini's line or the password file's; none belongs
// in a server's name, a database's or a user's.
std::optional<QString> BadText(const QString& text, const QString& what) {
  if (text.size() > kServerFieldLimit) return what + QStringLiteral("太长，最多%1个字符").arg(kServerFieldLimit);
  for (const QChar ch : text)
    if (ch.category() == QChar::Other_Control) return what + QStringLiteral("不能包含换行或控制字符");
  return std::nullopt;
}

}  // namespace

std::expected<ServerAddress, QString> ReadServerForm(const ServerForm& form) {
  ServerAddress a;
  a.host = form.host.trimmed();
  a.database = form.database.trimmed();
  a.user = form.user.trimmed();
  for (const auto& [text, what] :
       {std::pair{&a.host, QStringLiteral("服务器地址")}, std::pair{&a.database, QStringLiteral("数据库名称")},
        std::pair{&a.user, QStringLiteral("用户名")}})
    if (auto bad = BadText(*text, what)) return std::unexpected(*bad);
  if (form.password.size() > 1000) return std::unexpected(QStringLiteral("密码太长"));
  if (form.password.contains(QLatin1Char('\n')) || form.password.contains(QLatin1Char('\r')))
    return std::unexpected(QStringLiteral("密码不能包含换行"));
  if (a.host.isEmpty()) return std::unexpected(QStringLiteral("请填写服务器地址"));
  if (a.database.isEmpty()) return std::unexpected(QStringLiteral("请填写数据库名称"));
  const QString port = form.port.trimmed();
  if (!port.isEmpty()) {
    bool ok = false;
    a.port = port.toInt(&ok);
    if (!ok || a.port < 1 || a.port > 65535) return std::unexpected(QStringLiteral("端口必须是1到65535之间的整数"));
  }
  a.password = form.password;
  // Unticked: libpq's default, which encrypts when the server offers it.
  if (form.encrypted) a.sslmode = Encrypts(form.sslmode) ? form.sslmode : kRequireTls;
  return a;
}

ServerForm LoadServerForm(const IniFile& settings) {
  ServerForm form;
  form.host = settings.Read(kServerSection, kHostKey).trimmed();
  form.port = settings.Read(kServerSection, kPortKey).trimmed();
  if (form.port.isEmpty()) form.port = QStringLiteral("5432");
  form.database = settings.Read(kServerSection, kDatabaseKey).trimmed();
  form.user = settings.Read(kServerSection, kUserKey).trimmed();
  form.sslmode = settings.Read(kServerSection, kSslKey).trimmed();
  form.encrypted = Encrypts(form.sslmode);
  return form;
}

bool SaveServerChoice(IniFile& settings, const ServerAddress& server) {
  // The host last: a file cut short between the writes names no server rather than a
  // server with another's port.
  return settings.Write(kServerSection, kPortKey, QString::number(server.port)) &&
         settings.Write(kServerSection, kDatabaseKey, server.database) &&
         settings.Write(kServerSection, kUserKey, server.user) &&
         settings.Write(kServerSection, kSslKey, server.sslmode) &&
         settings.Write(kServerSection, kHostKey, server.host);
}

bool ClearServerChoice(IniFile& settings) {
  if (settings.Read(kServerSection, kHostKey).trimmed().isEmpty()) return true;
  return settings.Write(kServerSection, kHostKey, QString());
}

QString ServerFactsText(const ServerFacts& facts) {
  QString text = QStringLiteral("连接成功。服务器版本 %1。").arg(facts.version);
  if (!facts.tables_present)
    return text +
           QStringLiteral(
               "这个数据库里还没有本店的数据表：使用它时会自动建立，也可以在「数据管理」中把本机数据上传到服务器。");
  return text + QStringLiteral("数据库里已有本店的数据：%1。").arg(ServerShopSizeText(facts.shop));
}

namespace {

QString DatabaseText(const ServerAddress* server) {
  if (!server) return QStringLiteral("本机数据库文件");
  return QStringLiteral("数据库服务器 %1，端口 %2，数据库 %3")
      .arg(server->host)
      .arg(server->port)
      .arg(server->database);
}

}  // namespace

QString CurrentChoiceText(const IniFile& settings, const ServerAddress* running) {
  const auto chosen = ServerChoice(settings);
  const ServerAddress* next = chosen ? &*chosen : nullptr;
  QString text = QStringLiteral("现在使用：") + DatabaseText(running);
  const bool same = (!next && !running) || (next && running && next->host == running->host &&
                                            next->port == running->port && next->database == running->database);
  if (!same) text += QStringLiteral("\n重新启动程序后使用：") + DatabaseText(next);
  return text;
}

}  // namespace hemulu
