#pragma once
// Where a shop (data.db, config.ini and the folder lock) lives, and the command line that
// can name it: decided before any window exists, so that --version, --help and a refused
// command line need no display.

#include <QString>
#include <QStringList>
#include <expected>
#include <functional>

namespace hemulu {

struct CommandLine {
  enum class Action { Run, PrintVersion, PrintHelp, Refuse };
  Action action = Action::Run;
  QString data_dir;  // --data DIR as typed; empty when not given
  QString problem;   // for Refuse: what is wrong, Chinese line then English line
};

// `arguments` as main() gets them, the program's name first. Qt's own options (-platform,
// -style, …) are let through for QApplication.
CommandLine ParseCommandLine(const QStringList& arguments);
// One line, "禾木鹭进销存 hemulu <version>".
QString VersionText();
QString HelpText();

// True when a file can really be created in `dir` (write permission alone says nothing
// about a read-only mount, and root passes every permission test).
bool CanCreateFilesIn(const QString& dir);
// The system's command folders (/usr/bin, /usr/local/bin, …): an installed program never
// keeps a shop there, even when run by root, who could write there.
bool IsSystemCommandFolder(const QString& dir);

struct ShopFolderInputs {
  QString program_dir;    // the folder of the running executable
  QString data_option;    // --data, or empty
  QString xdg_data_home;  // $XDG_DATA_HOME as found (may be empty or relative: then unused)
  QString home;
  QString working_dir;  // what a relative --data is taken against
  std::function<bool(const QString&)> can_create_files = CanCreateFilesIn;
};

struct ShopFolderError {
  QString folder;
  bool from_option = false;  // the folder was named by --data
  QString Describe() const;  // Chinese line, then English line
};

// The shop's folder, created when missing:
//   --data DIR                                   → DIR
//   a writable program folder (not a command one) → the program folder
//   otherwise                                    → $XDG_DATA_HOME/hemulu (~/.local/share/hemulu)
std::expected<QString, ShopFolderError> ChooseShopFolder(const ShopFolderInputs& in);

// The message box text for a shop folder the program cannot create or write.
QString ShopFolderFailureText(const QString& folder);

}  // namespace hemulu
