#pragma once
// The display settings of config.ini as the settings window edits them.

#include <QString>

#include "data/IniFile.h"

namespace hemulu {

struct DisplaySettings {
  int line = 0;  // index of the grid-line item; -1 when the stored value names none
  bool beepview = false, zero = false;
  // Windows colour values (0x00BBGGRR).
  int beepcolor = 0, lastcolor = 0, zerocolor = 0, rmbcolor = 0, outcolor = 0, bgtwo = 0, bgone = 0;
  QString name, adress, tell;
};

// The number of items of the grid-line list ("0-全部显示", "1-只有横线", "2-只有竖线").
inline constexpr int kLineModeCount = 3;

// Reads the thirteen keys; a `line` value outside the list gives -1 (no item chosen).
DisplaySettings LoadDisplaySettings(const IniFile& settings);
// Writes the thirteen keys in the window's order; flags as "ture" / "false". False
// when config.ini could not be written.
bool SaveDisplaySettings(IniFile& settings, const DisplaySettings& values);

}  // namespace hemulu
