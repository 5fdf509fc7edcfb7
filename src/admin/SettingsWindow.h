#pragma once
// The window "系统设置": colours, grid lines, the two stock-list switches and the shop's
// details of config.ini. Modal; "保存" writes every value, "取消" writes nothing.

#include <QDialog>
#include <QPushButton>

#include "admin/SettingsLogic.h"
#include "data/AppContext.h"

class QCheckBox;
class QGridLayout;
class QComboBox;
class QLineEdit;

namespace hemulu {

// A button that shows its colour and picks a new one with the colour dialog.
class ColorPicker : public QPushButton {
  Q_OBJECT

 public:
  ColorPicker(const QString& name, QWidget* parent);
  // Windows colour value (0x00BBGGRR).
  int Color() const { return color_; }
  void SetColor(int win_color);
  void Choose();

 private:
  int color_ = 0;
};

class SettingsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit SettingsWindow(AppContext& ctx, QWidget* parent = nullptr);

  void LoadSettingsWindow();
  void SaveSettingsWindow();

 private:
  ColorPicker* AddPicker(const QString& name, const QString& label, QWidget* parent, QGridLayout* grid, int row,
                         int col);

  AppContext& ctx_;
  ColorPicker* bgone_ = nullptr;
  ColorPicker* bgtwo_ = nullptr;
  ColorPicker* outcolor_ = nullptr;
  ColorPicker* rmbcolor_ = nullptr;
  ColorPicker* zerocolor_ = nullptr;
  ColorPicker* lastcolor_ = nullptr;
  ColorPicker* beepcolor_ = nullptr;
  QComboBox* line_ = nullptr;
  QCheckBox* beepview_ = nullptr;
  QCheckBox* zero_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* adress_ = nullptr;
  QLineEdit* tell_ = nullptr;
};

}  // namespace hemulu
