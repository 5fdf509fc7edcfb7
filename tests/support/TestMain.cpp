// Test entry point: an offscreen QApplication so that window tests can run headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The user's own settings (the main window's place) go to a folder of this run only.
  QTemporaryDir config_home;
  setenv("XDG_CONFIG_HOME", qPrintable(config_home.path()), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
