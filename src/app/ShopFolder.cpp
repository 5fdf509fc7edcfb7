#include "app/ShopFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

namespace hemulu {

namespace {

// Qt's own command-line options, which QApplication takes out of the arguments itself;
// Qt accepts each with one dash or two.
const QSet<QString> kQtOptionsWithValue = {QStringLiteral("platform"),
                                           QStringLiteral("platformpluginpath"),
                                           QStringLiteral("platformtheme"),
                                           QStringLiteral("plugin"),
                                           QStringLiteral("qwindowgeometry"),
                                           QStringLiteral("geometry"),
                                           QStringLiteral("qwindowtitle"),
                                           QStringLiteral("title"),
                                           QStringLiteral("qwindowicon"),
                                           QStringLiteral("icon"),
                                           QStringLiteral("session"),
                                           QStringLiteral("style"),
                                           QStringLiteral("stylesheet"),
                                           QStringLiteral("display"),
                                           QStringLiteral("name")};
const QSet<QString> kQtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                QStringLiteral("sync"),    QStringLiteral("testability")};

// The Qt option an argument is, without its dashes and any "=value"; empty when it is none.
QString QtOptionName(const QString& argument) {
  if (!argument.startsWith(QLatin1Char('-'))) return {};
  QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
  name = name.section(QLatin1Char('='), 0, 0);
  return kQtOptionsWithValue.contains(name) || kQtFlags.contains(name) || name == QStringLiteral("qmljsdebugger")
             ? name
             : QString();
}

CommandLine Refuse(const QString& chinese, const QString& english) {
  CommandLine line;
  line.action = CommandLine::Action::Refuse;
  line.problem = QStringLiteral("hemulu: ") + chinese + QStringLiteral("\nhemulu: ") + english;
  return line;
}

const QStringList kSystemCommandFolders = {QStringLiteral("/usr/bin"),       QStringLiteral("/usr/sbin"),
                                           QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/local/sbin"),
                                           QStringLiteral("/bin"),           QStringLiteral("/sbin"),
                                           QStringLiteral("/usr/games"),     QStringLiteral("/usr/local/games")};

// Creates the folder when missing; the last level private to its owner, as a shop's
// books are. False when it cannot be made (or a file stands in its place).
bool MakeFolder(const QString& dir) {
  if (QFileInfo(dir).isDir()) return true;
  if (QFileInfo::exists(dir)) return false;
  if (!QDir().mkpath(QFileInfo(dir).absolutePath())) return false;
  return QDir().mkdir(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) || QFileInfo(dir).isDir();
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  CommandLine line;
  bool help = false, version = false, data_given = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
      help = true;
    } else if (arg == QStringLiteral("--version")) {
      version = true;
    } else if (arg == QStringLiteral("--data") || arg.startsWith(QStringLiteral("--data="))) {
      if (data_given)
        return Refuse(QStringLiteral("选项 --data 只能给一次"), QStringLiteral("--data may be given only once"));
      data_given = true;
      if (arg == QStringLiteral("--data")) {
        // "--data --version" is a forgotten folder, not a folder named "--version".
        if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1Char('-')))
          return Refuse(QStringLiteral("选项 --data 后面需要一个文件夹"), QStringLiteral("--data needs a folder"));
        line.data_dir = arguments[++i];
      } else {
        line.data_dir = arg.mid(7);
      }
      if (line.data_dir.isEmpty())
        return Refuse(QStringLiteral("选项 --data 后面需要一个文件夹"), QStringLiteral("--data needs a folder"));
    } else if (const QString qt = QtOptionName(arg); !qt.isEmpty()) {
      // Its value, when it takes one and was not given with "=", is the next argument.
      if (kQtOptionsWithValue.contains(qt) && !arg.contains(QLatin1Char('=')) && i + 1 < arguments.size()) ++i;
    } else if (arg.startsWith(QLatin1Char('-'))) {
      return Refuse(QStringLiteral("未知的选项：") + arg + QStringLiteral("（可用的选项见 hemulu --help）"),
                    QStringLiteral("unknown option: ") + arg + QStringLiteral(" (see hemulu --help)"));
    } else {
      return Refuse(
          QStringLiteral("多余的参数：") + arg + QStringLiteral("（要打开另一个数据文件夹，请用 --data）"),
          QStringLiteral("unexpected argument: ") + arg + QStringLiteral(" (to open another folder, use --data)"));
    }
  }
  if (help)
    line.action = CommandLine::Action::PrintHelp;
  else if (version)
    line.action = CommandLine::Action::PrintVersion;
  return line;
}

QString VersionText() { return QStringLiteral("禾木鹭进销存 hemulu " HEMULU_VERSION); }

QString HelpText() {
  return QStringLiteral(
      "用法 / Usage: hemulu [--data 文件夹/DIR]\n"
      "\n"
      "禾木鹭进销存：小商店的进销存记账软件。\n"
      "账本（data.db 和 config.ini）放在程序所在的文件夹中；这个文件夹不能写入时（例如从安装包安装），\n"
      "放在 $XDG_DATA_HOME/hemulu，通常就是 ~/.local/share/hemulu。\n"
      "\n"
      "  --data 文件夹   打开这个文件夹中的账本，文件夹不存在时自动创建\n"
      "  --version       显示版本后退出\n"
      "  --help          显示本说明后退出\n"
      "\n"
      "A stock, sales and bookkeeping program for a small shop.\n"
      "The shop (data.db and config.ini) lives in the program's folder; where that folder\n"
      "cannot be written (an installed package), in $XDG_DATA_HOME/hemulu, usually\n"
      "~/.local/share/hemulu.\n"
      "\n"
      "  --data DIR      open the shop in DIR, created when missing\n"
      "  --version       print the version and exit\n"
      "  --help          print this help and exit\n");
}

bool CanCreateFilesIn(const QString& dir) {
  if (!QFileInfo(dir).isDir()) return false;
  QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".hemulu-write-test-XXXXXX")));
  return probe.open();  // removed again when probe goes
}

bool IsSystemCommandFolder(const QString& dir) {
  const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
  const QString canonical = QFileInfo(dir).canonicalFilePath();
  return kSystemCommandFolders.contains(clean) || (!canonical.isEmpty() && kSystemCommandFolders.contains(canonical));
}

QString ShopFolderError::Describe() const {
  if (from_option)
    return QStringLiteral("hemulu: 无法创建或写入 --data 给出的数据文件夹：") + folder +
           QStringLiteral("\nhemulu: cannot create or write to the --data folder: ") + folder;
  return QStringLiteral("hemulu: 无法创建或写入数据文件夹：") + folder +
         QStringLiteral("\nhemulu: cannot create or write to the data folder: ") + folder;
}

std::expected<QString, ShopFolderError> ChooseShopFolder(const ShopFolderInputs& in) {
  const auto usable = [&](const QString& dir) { return MakeFolder(dir) && in.can_create_files(dir); };
  if (!in.data_option.isEmpty()) {
    const QString dir = QDir::cleanPath(QDir(in.working_dir).absoluteFilePath(in.data_option));
    if (!usable(dir)) return std::unexpected(ShopFolderError{dir, true});
    return dir;
  }
  // A copied program folder is a shop of its own, as it always was.
  if (!IsSystemCommandFolder(in.program_dir) && in.can_create_files(in.program_dir))
    return QDir::cleanPath(in.program_dir);
  // XDG: a relative $XDG_DATA_HOME is invalid and ignored.
  const QString base = !in.xdg_data_home.isEmpty() && QDir::isAbsolutePath(in.xdg_data_home)
                           ? in.xdg_data_home
                           : QDir(in.home).filePath(QStringLiteral(".local/share"));
  const QString dir = QDir::cleanPath(QDir(base).filePath(QStringLiteral("hemulu")));
  if (!usable(dir)) return std::unexpected(ShopFolderError{dir, false});
  return dir;
}

QString ShopFolderFailureText(const QString& folder) {
  return QStringLiteral("无法创建或写入数据文件夹，程序不能继续运行。\n") + folder +
         QStringLiteral("\n请确认这个文件夹可以写入，磁盘也有剩余空间。");
}

}  // namespace hemulu
