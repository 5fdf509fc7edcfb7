#pragma once
// The window "数据库服务器": where the shop's database server is, a test of the
// connection, and the choice between the server and the local file, kept in config.ini.
// The choice takes effect at the next start, which the window offers.

#include <QDialog>
#include <functional>

#include "admin/ServerSetupLogic.h"
#include "data/AppContext.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace hemulu {

class ServerSetupWindow : public QDialog {
  Q_OBJECT

 public:
  // `restart` ends this run so that the program starts again with the new choice.
  ServerSetupWindow(AppContext& ctx, std::function<void()> restart, QWidget* parent = nullptr);

  void TestConnection();
  void UseServer();
  void UseLocalFile();

 private:
  ServerForm Form() const;
  // The boxes read, or nullopt after telling what is wrong (the box in question focused).
  std::optional<ServerAddress> CheckedAddress();
  // The choice is kept: asks to start again now.
  void OfferRestart(const QString& saved);

  AppContext& ctx_;
  std::function<void()> restart_;
  QLabel* current_ = nullptr;
  QLineEdit *host_ = nullptr, *port_ = nullptr, *database_ = nullptr, *user_ = nullptr, *password_ = nullptr;
  QCheckBox* remember_ = nullptr;
  QCheckBox* encrypted_ = nullptr;
  QString stored_sslmode_;
  QLabel* result_ = nullptr;
};

}  // namespace hemulu
