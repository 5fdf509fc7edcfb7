// Starts the real program in an empty folder, as a shop owner would after copying it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/ShopFolder.h"
#include "data/Database.h"
#include "data/EmbeddedFiles.h"

using namespace hemulu;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True when the process holds `path` open: it has opened its database, which it does
// while building the login window.
bool HasFileOpen(qint64 pid, const QString& path) {
  const QString target = QFileInfo(path).canonicalFilePath();
  if (target.isEmpty()) return false;
  const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
  for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files))
    if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) return true;
  return false;
}

class ProgramRun {
 public:
  ProgramRun(const QString& program_dir, const QString& home,
             QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel,
             const QStringList& arguments = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LANG", "C.UTF-8");
    env.insert("HOME", home);
    env.insert("XDG_RUNTIME_DIR", home);
    env.remove("XDG_DATA_HOME");  // a shop that leaves its folder goes to HOME's data folder
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(home);  // the program must use its own folder, not this one
    process_.setProgram(QDir(program_dir).filePath("hemulu"));
    process_.setArguments(arguments);
    process_.setProcessChannelMode(channels);
    process_.start();
  }
  ~ProgramRun() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished();
    }
  }
  QProcess& process() { return process_; }
  // Waits until the program has reached its login window (its database is open).
  bool WaitUntilReady(const QString& database) {
    return QTest::qWaitFor(
        [&] { return process_.state() == QProcess::Running && HasFileOpen(process_.processId(), database); }, 30000);
  }
  void Terminate() {
    process_.terminate();
    process_.waitForFinished(30000);
  }

 private:
  QProcess process_;
};

}  // namespace

TEST(EndToEnd, StartsInAnEmptyFolderWritesItsFilesKeepsRunningAndASecondStartChangesNothing) {
  QTemporaryDir program_dir, home;
  ASSERT_TRUE(program_dir.isValid() && home.isValid());
  const QString exe = program_dir.filePath("hemulu");
  ASSERT_TRUE(QFile::copy(QStringLiteral(HEMULU_EXECUTABLE), exe));
  const QString config = program_dir.filePath("config.ini");
  const QString database = program_dir.filePath("data.db");

  QByteArray config_after_first, database_after_first;
  QDateTime config_time, database_time;
  {
    ProgramRun run(program_dir.path(), home.path());
    ASSERT_TRUE(run.process().waitForStarted(30000));
    ASSERT_TRUE(run.WaitUntilReady(database)) << "the program did not reach its login window";
    EXPECT_EQ(run.process().state(), QProcess::Running);

    config_after_first = ReadAll(config);
    EXPECT_EQ(config_after_first, DefaultConfigBytes(home.path()));
    EXPECT_TRUE(config_after_first.contains(("backpath=" + home.path() + "/BackupData.db\r\n").toUtf8()));

    // The database written is the template: it opens with the key and holds the one account.
    Database db(database);
    ASSERT_TRUE(db.Open().has_value());
    auto st = db.Prepare("select 用户名, 密码 from UserName");
    ASSERT_TRUE(st.has_value());
    ASSERT_TRUE(st->Step().value_or(false));
    EXPECT_EQ(st->Text(0), "超级管理员");
    EXPECT_EQ(st->Text(1), "735");
    EXPECT_FALSE(st->Step().value_or(true));
    st = {};
    db.Close();

    EXPECT_EQ(run.process().state(), QProcess::Running);
    run.Terminate();
    EXPECT_EQ(run.process().state(), QProcess::NotRunning);
  }
  database_after_first = ReadAll(database);
  ASSERT_FALSE(database_after_first.isEmpty());
  config_time = QFileInfo(config).lastModified();
  database_time = QFileInfo(database).lastModified();

  {
    ProgramRun run(program_dir.path(), home.path());
    ASSERT_TRUE(run.process().waitForStarted(30000));
    ASSERT_TRUE(run.WaitUntilReady(database));
    EXPECT_EQ(ReadAll(config), config_after_first);
    EXPECT_EQ(ReadAll(database), database_after_first);
    EXPECT_EQ(QFileInfo(config).lastModified(), config_time);
    EXPECT_EQ(QFileInfo(database).lastModified(), database_time);
    run.Terminate();
  }
}

TEST(EndToEnd, ASecondProgramInTheSameFolderSaysSoAndTouchesNothingAndAKilledOneDoesNotBlock) {
  QTemporaryDir program_dir, home;
  ASSERT_TRUE(program_dir.isValid() && home.isValid());
  ASSERT_TRUE(QFile::copy(QStringLiteral(HEMULU_EXECUTABLE), program_dir.filePath("hemulu")));
  const QString database = program_dir.filePath("data.db");
  const QStringList files = {program_dir.filePath("config.ini"), database, program_dir.filePath("hemulu.lock")};

  ProgramRun first(program_dir.path(), home.path());
  ASSERT_TRUE(first.process().waitForStarted(30000));
  ASSERT_TRUE(first.WaitUntilReady(database));
  std::vector<QByteArray> bytes;
  std::vector<QDateTime> times;
  for (const QString& f : files) {
    ASSERT_TRUE(QFile::exists(f)) << f.toStdString();
    bytes.push_back(ReadAll(f));
    times.push_back(QFileInfo(f).lastModified());
  }
  {
    // The second one shows its message (and says so on standard error) and waits for OK.
    ProgramRun second(program_dir.path(), home.path(), QProcess::SeparateChannels);
    ASSERT_TRUE(second.process().waitForStarted(30000));
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          said += second.process().readAllStandardError();
          return said.contains("already running") || second.process().state() == QProcess::NotRunning;
        },
        30000));
    EXPECT_TRUE(said.contains("already running")) << said.toStdString();
    EXPECT_FALSE(HasFileOpen(second.process().processId(), database));
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    EXPECT_EQ(ReadAll(files[i]), bytes[i]) << files[i].toStdString();
    EXPECT_EQ(QFileInfo(files[i]).lastModified(), times[i]) << files[i].toStdString();
  }

  // Killed without a chance to remove its lock: the next start is not blocked by it.
  first.process().kill();
  first.process().waitForFinished(30000);
  ASSERT_TRUE(QFile::exists(program_dir.filePath("hemulu.lock")));
  ProgramRun third(program_dir.path(), home.path());
  ASSERT_TRUE(third.process().waitForStarted(30000));
  EXPECT_TRUE(third.WaitUntilReady(database)) << "a stale lock blocked the start";
  third.Terminate();
}

namespace {

struct Finished {
  int exit_code = -1;
  QByteArray out, err;
};

// Runs the program to its end with no display at all: what it does before any window.
Finished RunWithoutDisplay(const QString& program, const QStringList& arguments, const QString& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
  env.insert("HOME", home);
  env.insert("LANG", "C.UTF-8");
  QProcess process;
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(home);
  process.start(program, arguments);
  Finished result;
  if (!process.waitForFinished(30000)) return result;
  result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

}  // namespace

TEST(EndToEnd, VersionHelpAndRefusedCommandLinesNeedNoDisplayAndWriteNothing) {
  QTemporaryDir program_dir, home;
  ASSERT_TRUE(program_dir.isValid() && home.isValid());
  const QString exe = program_dir.filePath("hemulu");
  ASSERT_TRUE(QFile::copy(QStringLiteral(HEMULU_EXECUTABLE), exe));

  Finished run = RunWithoutDisplay(exe, {"--version"}, home.path());
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(QString::fromUtf8(run.out), VersionText() + "\n");
  run = RunWithoutDisplay(exe, {"--help"}, home.path());
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(QString::fromUtf8(run.out), HelpText());

  run = RunWithoutDisplay(exe, {"--frobnicate"}, home.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_TRUE(run.err.contains("未知的选项：--frobnicate")) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("unknown option: --frobnicate")) << run.err.toStdString();

  // A --data folder that cannot be made (under a plain file: not even root can).
  QFile file(home.filePath("plain-file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const QString impossible = home.filePath("plain-file/shop");
  run = RunWithoutDisplay(exe, {"--data", impossible}, home.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.err.contains(("无法创建或写入 --data 给出的数据文件夹：" + impossible).toUtf8()))
      << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(("cannot create or write to the --data folder: " + impossible).toUtf8()));

  EXPECT_EQ(Entries(program_dir.path()), QStringList{"hemulu"});
  EXPECT_EQ(Entries(home.path()), QStringList{"plain-file"});
}

TEST(EndToEnd, DataOptionOpensAShopElsewhereWithItsOwnLock) {
  QTemporaryDir program_dir, home;
  ASSERT_TRUE(program_dir.isValid() && home.isValid());
  ASSERT_TRUE(QFile::copy(QStringLiteral(HEMULU_EXECUTABLE), program_dir.filePath("hemulu")));
  const QString shop = home.filePath("店铺/二号店");  // missing, two levels, Chinese
  const QString database = QDir(shop).filePath("data.db");

  ProgramRun second_shop(program_dir.path(), home.path(), QProcess::ForwardedErrorChannel, {"--data", shop});
  ASSERT_TRUE(second_shop.process().waitForStarted(30000));
  ASSERT_TRUE(second_shop.WaitUntilReady(database)) << "the program did not open the shop in the --data folder";
  EXPECT_EQ(ReadAll(QDir(shop).filePath("config.ini")), DefaultConfigBytes(home.path()));
  EXPECT_TRUE(QFile::exists(QDir(shop).filePath("hemulu.lock")));
  EXPECT_EQ(Entries(program_dir.path()), QStringList{"hemulu"});

  // The program folder's own shop is another shop: it starts beside the first.
  ProgramRun first_shop(program_dir.path(), home.path());
  ASSERT_TRUE(first_shop.process().waitForStarted(30000));
  EXPECT_TRUE(first_shop.WaitUntilReady(program_dir.filePath("data.db")));

  // The same --data folder a second time is refused by its lock.
  ProgramRun again(program_dir.path(), home.path(), QProcess::SeparateChannels, {"--data=" + shop});
  ASSERT_TRUE(again.process().waitForStarted(30000));
  QByteArray said;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        said += again.process().readAllStandardError();
        return said.contains("already running") || again.process().state() == QProcess::NotRunning;
      },
      30000));
  EXPECT_TRUE(said.contains(("already running in " + shop).toUtf8())) << said.toStdString();
  first_shop.Terminate();
  second_shop.Terminate();
}

// Needs a user whom a folder's permissions can stop: root writes anywhere (the choice
// itself is tested with an injected probe in ShopFolderTest).
TEST(EndToEnd, AProgramFolderThatCannotBeWrittenKeepsTheShopInTheUsersDataFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root, who can write into any folder";
  QTemporaryDir program_dir, home;
  ASSERT_TRUE(program_dir.isValid() && home.isValid());
  ASSERT_TRUE(QFile::copy(QStringLiteral(HEMULU_EXECUTABLE), program_dir.filePath("hemulu")));
  ASSERT_TRUE(QFile::setPermissions(program_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
  const QString shop = home.filePath(".local/share/hemulu");
  {
    ProgramRun run(program_dir.path(), home.path());
    ASSERT_TRUE(run.process().waitForStarted(30000));
    EXPECT_TRUE(run.WaitUntilReady(QDir(shop).filePath("data.db")));
    EXPECT_TRUE(QFile::exists(QDir(shop).filePath("config.ini")));
    run.Terminate();
  }
  QFile::setPermissions(program_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(Entries(program_dir.path()), QStringList{"hemulu"});
}
