#include "admin/SettingsLogic.h"

#include "data/EmbeddedFiles.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

// Numbers read as the ordinary decimal conversion does: empty or foreign text gives 0.
int IntValue(const QString& text) {
  const double v = NumberValue(text);
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

QString Flag(bool on) { return on ? QStringLiteral("ture") : QStringLiteral("false"); }

}  // namespace

DisplaySettings LoadDisplaySettings(const IniFile& ini) {
  DisplaySettings s;
  const int line = IntValue(ini.ReadSetupValue(QStringLiteral("line")));
  s.line = line >= 0 && line < kLineModeCount ? line : -1;
  s.beepview = ini.SetupFlag(QStringLiteral("beepview"));
  s.zero = ini.SetupFlag(QStringLiteral("zero"));
  s.beepcolor = IntValue(SetupColourText(ini, QStringLiteral("beepcolor")));
  s.lastcolor = IntValue(SetupColourText(ini, QStringLiteral("lastcolor")));
  s.zerocolor = IntValue(SetupColourText(ini, QStringLiteral("zerocolor")));
  s.rmbcolor = IntValue(SetupColourText(ini, QStringLiteral("rmbcolor")));
  s.outcolor = IntValue(SetupColourText(ini, QStringLiteral("outcolor")));
  s.bgtwo = IntValue(SetupColourText(ini, QStringLiteral("bgtwo")));
  s.bgone = IntValue(SetupColourText(ini, QStringLiteral("bgone")));
  s.name = ini.ReadSetupValue(QStringLiteral("name"));
  s.adress = ini.ReadSetupValue(QStringLiteral("adress"));
  s.tell = ini.ReadSetupValue(QStringLiteral("tell"));
  return s;
}

bool SaveDisplaySettings(IniFile& ini, const DisplaySettings& s) {
  const std::pair<const char*, QString> keys[] = {
      {"line", QString::number(s.line)},
      {"beepview", Flag(s.beepview)},
      {"zero", Flag(s.zero)},
      {"name", s.name},
      {"adress", s.adress},
      {"tell", s.tell},
      {"beepcolor", QString::number(s.beepcolor)},
      {"lastcolor", QString::number(s.lastcolor)},
      {"zerocolor", QString::number(s.zerocolor)},
      {"rmbcolor", QString::number(s.rmbcolor)},
      {"outcolor", QString::number(s.outcolor)},
      {"bgtwo", QString::number(s.bgtwo)},
      {"bgone", QString::number(s.bgone)},
  };
  bool ok = true;
  for (const auto& [key, value] : keys) ok = ini.WriteSetupValue(QString::fromUtf8(key), value) && ok;
  return ok;
}

}  // namespace hemulu
