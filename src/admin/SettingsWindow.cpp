#include "admin/SettingsWindow.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "lists/Grid.h"

namespace hemulu {

ColorPicker::ColorPicker(const QString& name, QWidget* parent) : QPushButton(parent) {
  setObjectName(name);
  setAutoDefault(false);
  setIconSize(QSize(56, 16));
  setMinimumWidth(80);
  connect(this, &QPushButton::clicked, this, &ColorPicker::Choose);
}

void ColorPicker::SetColor(int win_color) {
  color_ = win_color;
  QPixmap swatch(iconSize());
  swatch.fill(ColorFromWin(win_color));
  QPainter painter(&swatch);
  painter.setPen(QColor(0x70, 0x70, 0x70));
  painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
  setIcon(QIcon(swatch));
  setToolTip(QString::number(win_color));
}

void ColorPicker::Choose() {
  const QColor chosen = QColorDialog::getColor(ColorFromWin(color_), this, QStringLiteral("选择颜色"));
  if (chosen.isValid()) SetColor(WinFromColor(chosen));
}

ColorPicker* SettingsWindow::AddPicker(const QString& name, const QString& label, QWidget* parent, QGridLayout* grid,
                                       int row, int col) {
  auto* picker = new ColorPicker(name, parent);
  auto* caption = new QLabel(label, parent);
  caption->setBuddy(picker);
  grid->addWidget(caption, row, col * 2, Qt::AlignRight);
  grid->addWidget(picker, row, col * 2 + 1);
  return picker;
}

SettingsWindow::SettingsWindow(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("系统设置"));
  setWindowTitle(QStringLiteral("系统设置"));
  setModal(true);

  auto* display = new QGroupBox(QStringLiteral("程序显示相关设置"), this);
  auto* colours = new QGridLayout;
  bgone_ = AddPicker(QStringLiteral("奇数行颜色"), QStringLiteral("奇数行："), display, colours, 0, 0);
  bgtwo_ = AddPicker(QStringLiteral("偶数行颜色"), QStringLiteral("偶数行："), display, colours, 0, 1);
  outcolor_ = AddPicker(QStringLiteral("支出文字颜色"), QStringLiteral("支出文字颜色："), display, colours, 1, 0);
  rmbcolor_ = AddPicker(QStringLiteral("欠款文字颜色"), QStringLiteral("欠款文字颜色："), display, colours, 1, 1);
  zerocolor_ = AddPicker(QStringLiteral("零库存文字颜色"), QStringLiteral("零库存文字颜色："), display, colours, 2, 0);
  lastcolor_ = AddPicker(QStringLiteral("底部合计行颜色"), QStringLiteral("底部合计行颜色："), display, colours, 2, 1);
  beepcolor_ =
      AddPicker(QStringLiteral("库存报警文字颜色"), QStringLiteral("库存警报文字颜色："), display, colours, 3, 0);
  line_ = new QComboBox(display);
  line_->setObjectName(QStringLiteral("组合框1"));
  line_->addItems({QStringLiteral("0-全部显示"), QStringLiteral("1-只有横线"), QStringLiteral("2-只有竖线")});
  auto* line_row = new QHBoxLayout;
  auto* line_label = new QLabel(QStringLiteral("报表表格线显示模式"), display);
  line_label->setBuddy(line_);
  line_row->addWidget(line_label);
  line_row->addWidget(line_, 1);
  beepview_ = new QCheckBox(QStringLiteral("开启库存不足商品靠前显示"), display);
  beepview_->setObjectName(QStringLiteral("选择框1"));
  zero_ = new QCheckBox(QStringLiteral("是否显示零库存商品"), display);
  zero_->setObjectName(QStringLiteral("选择框2"));
  auto* skin_hint = new QLabel(QStringLiteral("doda目前处于测试阶段，使用后缓冲比较慢，建议使用单色皮肤"), display);
  skin_hint->setWordWrap(true);
  skin_hint->setStyleSheet(QStringLiteral("color: #7a8a90;"));
  auto* display_layout = new QVBoxLayout(display);
  display_layout->addLayout(colours);
  display_layout->addLayout(line_row);
  display_layout->addWidget(beepview_);
  display_layout->addWidget(zero_);
  display_layout->addWidget(skin_hint);

  auto* print = new QGroupBox(QStringLiteral("打印显示相关设置"), this);
  auto make_box = [print](const char* name) {
    auto* box = new QLineEdit(print);
    box->setObjectName(QString::fromUtf8(name));
    box->setMaxLength(200);
    return box;
  };
  name_ = make_box("编辑框1");
  adress_ = make_box("编辑框2");
  tell_ = make_box("编辑框3");
  auto* print_layout = new QFormLayout(print);
  print_layout->addRow(QStringLiteral("单位名称："), name_);
  print_layout->addRow(QStringLiteral("单位地址："), adress_);
  print_layout->addRow(QStringLiteral("联系方式："), tell_);

  auto* hint = new QLabel(QStringLiteral("部分设置，可能需要重启软件才能生效。"), this);
  auto* save = new QPushButton(QStringLiteral("保存"), this);
  save->setObjectName(QStringLiteral("按钮2"));
  save->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName(QStringLiteral("按钮3"));
  cancel->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &SettingsWindow::SaveSettingsWindow);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hint, 1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(display);
  layout->addWidget(print);
  layout->addLayout(buttons);

  LoadSettingsWindow();
}

void SettingsWindow::LoadSettingsWindow() {
  const DisplaySettings s = LoadDisplaySettings(ctx_.settings);
  line_->setCurrentIndex(s.line);
  beepview_->setChecked(s.beepview);
  zero_->setChecked(s.zero);
  beepcolor_->SetColor(s.beepcolor);
  lastcolor_->SetColor(s.lastcolor);
  zerocolor_->SetColor(s.zerocolor);
  rmbcolor_->SetColor(s.rmbcolor);
  outcolor_->SetColor(s.outcolor);
  bgtwo_->SetColor(s.bgtwo);
  bgone_->SetColor(s.bgone);
  name_->setText(s.name);
  adress_->setText(s.adress);
  tell_->setText(s.tell);
}

void SettingsWindow::SaveSettingsWindow() {
  DisplaySettings s;
  s.line = line_->currentIndex();
  s.beepview = beepview_->isChecked();
  s.zero = zero_->isChecked();
  s.name = name_->text();
  s.adress = adress_->text();
  s.tell = tell_->text();
  s.beepcolor = beepcolor_->Color();
  s.lastcolor = lastcolor_->Color();
  s.zerocolor = zerocolor_->Color();
  s.rmbcolor = rmbcolor_->Color();
  s.outcolor = outcolor_->Color();
  s.bgtwo = bgtwo_->Color();
  s.bgone = bgone_->Color();
  if (!SaveDisplaySettings(ctx_.settings, s)) {
    ctx_.ShowMessage(QStringLiteral("设置没有保存：无法写入 config.ini，请检查文件是否只读。"), MessageKind::Stop);
    return;
  }
  accept();
}

}  // namespace hemulu
