// Where a shop lives and what the command line may say. Root (as CI runs) may write
// anywhere, so a program folder that cannot be written is either injected through the
// probe or one nobody can create files in (/proc).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/ShopFolder.h"

using namespace hemulu;

namespace {

using Action = CommandLine::Action;

CommandLine Parse(const QStringList& args) { return ParseCommandLine(QStringList{"hemulu"} + args); }

struct Folders {
  QTemporaryDir program, home, xdg, work;
  // Every folder writable except the program folder, as for a packaged program.
  ShopFolderInputs ReadOnlyProgram() const {
    ShopFolderInputs in = Writable();
    const QString program_dir = program.path();
    in.can_create_files = [program_dir](const QString& dir) {
      return QDir(dir) != QDir(program_dir) && CanCreateFilesIn(dir);
    };
    return in;
  }
  ShopFolderInputs Writable() const {
    ShopFolderInputs in;
    in.program_dir = program.path();
    in.xdg_data_home = xdg.path();
    in.home = home.path();
    in.working_dir = work.path();
    return in;
  }
};

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

}  // namespace

TEST(ShopFolder, AWritableProgramFolderHoldsTheShopAndNothingIsCreatedElsewhere) {
  Folders f;
  EXPECT_EQ(ChooseShopFolder(f.Writable()), QDir::cleanPath(f.program.path()));
  // The real probe cleans up after itself, and no data folder was made.
  EXPECT_TRUE(Entries(f.program.path()).isEmpty());
  EXPECT_TRUE(Entries(f.xdg.path()).isEmpty());
  EXPECT_TRUE(Entries(f.home.path()).isEmpty());
}

TEST(ShopFolder, AProgramFolderThatCannotBeWrittenSendsTheShopToTheUsersDataFolder) {
  Folders f;
  // $XDG_DATA_HOME is honoured; the folder is made, private to its owner.
  const auto chosen = ChooseShopFolder(f.ReadOnlyProgram());
  const QString expected = QDir(f.xdg.path()).filePath("hemulu");
  ASSERT_EQ(chosen, expected);
  EXPECT_TRUE(QFileInfo(expected).isDir());
  EXPECT_EQ(QFileInfo(expected).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                                                 QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
            QFile::Permissions());
  EXPECT_TRUE(Entries(f.program.path()).isEmpty());

  // Without $XDG_DATA_HOME, or with a relative one (invalid, so ignored): ~/.local/share,
  // with the missing folders on the way made too.
  for (const QString& xdg : {QString(), QStringLiteral("relative/share")}) {
    ShopFolderInputs in = f.ReadOnlyProgram();
    in.xdg_data_home = xdg;
    EXPECT_EQ(ChooseShopFolder(in), QDir(f.home.path()).filePath(".local/share/hemulu")) << xdg.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists("relative"));

  // A second start finds the folder it made and keeps using it.
  EXPECT_EQ(ChooseShopFolder(f.ReadOnlyProgram()), expected);
}

TEST(ShopFolder, TheWritabilityProbeReallyTriesAndTheSystemCommandFoldersNeverHoldAShop) {
  Folders f;
  EXPECT_TRUE(CanCreateFilesIn(f.program.path()));
  EXPECT_FALSE(CanCreateFilesIn(QDir(f.program.path()).filePath("missing")));
  QFile file(QDir(f.program.path()).filePath("a-file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(CanCreateFilesIn(file.fileName()));
  // /proc passes a permission look for root but takes no new file from anyone.
  EXPECT_FALSE(CanCreateFilesIn("/proc"));
  ShopFolderInputs in = f.Writable();
  in.program_dir = "/proc";
  EXPECT_EQ(ChooseShopFolder(in), QDir(f.xdg.path()).filePath("hemulu"));

  // Root could write into /usr/bin; an installed program still keeps its shop at home.
  EXPECT_TRUE(IsSystemCommandFolder("/usr/bin"));
  EXPECT_TRUE(IsSystemCommandFolder("/usr/local/bin/"));
  EXPECT_TRUE(IsSystemCommandFolder("/bin"));
  EXPECT_FALSE(IsSystemCommandFolder("/usr/bin/hemulu-copy"));
  EXPECT_FALSE(IsSystemCommandFolder(f.program.path()));
  in = f.Writable();
  in.program_dir = "/usr/bin";
  in.can_create_files = [](const QString&) { return true; };
  EXPECT_EQ(ChooseShopFolder(in), QDir(f.xdg.path()).filePath("hemulu"));
}

TEST(ShopFolder, DataOptionWinsIsTakenAgainstTheWorkingFolderAndIsCreated) {
  Folders f;
  ShopFolderInputs in = f.Writable();
  in.data_option = "shops/second";
  const QString expected = QDir(f.work.path()).filePath("shops/second");
  EXPECT_EQ(ChooseShopFolder(in), expected);
  EXPECT_TRUE(QFileInfo(expected).isDir());
  EXPECT_TRUE(Entries(f.program.path()).isEmpty());
  EXPECT_TRUE(Entries(f.xdg.path()).isEmpty());

  // An existing folder, named absolutely, with a trailing slash.
  in.data_option = f.home.path() + "/";
  EXPECT_EQ(ChooseShopFolder(in), QDir::cleanPath(f.home.path()));
}

TEST(ShopFolder, AFolderThatCannotBeMadeOrWrittenIsAnErrorNamingIt) {
  Folders f;
  QFile file(QDir(f.work.path()).filePath("plain-file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  // Under a plain file no folder can be made, not even by root.
  ShopFolderInputs in = f.Writable();
  in.data_option = "plain-file/shop";
  auto chosen = ChooseShopFolder(in);
  ASSERT_FALSE(chosen.has_value());
  EXPECT_TRUE(chosen.error().from_option);
  EXPECT_EQ(chosen.error().folder, QDir(f.work.path()).filePath("plain-file/shop"));
  EXPECT_TRUE(chosen.error().Describe().contains("--data"));
  EXPECT_TRUE(chosen.error().Describe().contains(chosen.error().folder));
  // The file itself is not a folder either.
  in.data_option = "plain-file";
  EXPECT_FALSE(ChooseShopFolder(in).has_value());
  // A folder that exists but takes no files.
  in.data_option = "/proc";
  EXPECT_FALSE(ChooseShopFolder(in).has_value());

  // The user's data folder cannot be made: an error too, not a fall-back somewhere else.
  in = f.ReadOnlyProgram();
  in.xdg_data_home = file.fileName();
  chosen = ChooseShopFolder(in);
  ASSERT_FALSE(chosen.has_value());
  EXPECT_FALSE(chosen.error().from_option);
  EXPECT_EQ(chosen.error().folder, file.fileName() + "/hemulu");
  EXPECT_TRUE(ShopFolderFailureText(chosen.error().folder).contains(chosen.error().folder));
}

TEST(ShopFolder, CommandLine) {
  EXPECT_EQ(Parse({}).action, Action::Run);
  EXPECT_EQ(Parse({"--version"}).action, Action::PrintVersion);
  EXPECT_EQ(Parse({"--help"}).action, Action::PrintHelp);
  EXPECT_EQ(Parse({"-h"}).action, Action::PrintHelp);
  EXPECT_EQ(Parse({"--version", "--help"}).action, Action::PrintHelp);
  EXPECT_TRUE(VersionText().contains("hemulu 1."));
  EXPECT_TRUE(HelpText().contains("--data") && HelpText().contains("--version") &&
              HelpText().contains("~/.local/share/hemulu"));

  for (const QStringList& args : {QStringList{"--data", "/tmp/二号店"}, QStringList{"--data=/tmp/二号店"}}) {
    const CommandLine line = Parse(args);
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.data_dir, "/tmp/二号店");
  }
  // Qt's own options, with one dash or two, with their values, go on to Qt.
  const CommandLine qt =
      Parse({"-platform", "offscreen", "--style", "fusion", "-stylesheet=a.qss", "-reverse", "--data", "shop"});
  EXPECT_EQ(qt.action, Action::Run);
  EXPECT_EQ(qt.data_dir, "shop");

  // Refused, each with a Chinese line and an English line naming what is wrong.
  const std::vector<std::pair<QStringList, QString>> refused = {{{"--frobnicate"}, "--frobnicate"},
                                                                {{"-x"}, "-x"},
                                                                {{"shop"}, "shop"},
                                                                {{"--data"}, "--data"},
                                                                {{"--data="}, "--data"},
                                                                {{"--data", "--version"}, "--data"},
                                                                {{"--data", "a", "--data", "b"}, "--data"},
                                                                {{"--version", "--bogus"}, "--bogus"}};
  for (const auto& [args, named] : refused) {
    const CommandLine line = Parse(args);
    EXPECT_EQ(line.action, Action::Refuse) << args.join(' ').toStdString();
    const QStringList lines = line.problem.split('\n');
    ASSERT_EQ(lines.size(), 2) << line.problem.toStdString();
    EXPECT_TRUE(lines[0].contains(named) && lines[1].contains(named)) << line.problem.toStdString();
  }
}
