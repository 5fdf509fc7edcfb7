#pragma once
// config.ini, read and written line by line so that every other line, comment, blank
// line and line end stays as it was (a general settings class would rewrite the whole file).

#include <QString>

namespace hemulu {

class IniFile {
 public:
  explicit IniFile(QString path) : path_(std::move(path)) {}

  // Key of section "setup"; an absent key or file gives empty text.
  QString ReadSetupValue(const QString& key) const { return Read(QStringLiteral("setup"), key); }
  [[nodiscard]] bool WriteSetupValue(const QString& key, const QString& value) {
    return Write(QStringLiteral("setup"), key, value);
  }
  // Flags are on only for the exact text "ture".
  bool SetupFlag(const QString& key) const { return ReadSetupValue(key) == QStringLiteral("ture"); }

  // Section and key names compare without regard to case and surrounding blanks.
  // A value is at most kMaxValueBytes bytes of UTF-8.
  QString Read(const QString& section, const QString& key) const;
  // Replaces the key's line, or adds the key at the end of its section, creating the
  // section or the file as needed. The file is replaced atomically. False when it
  // cannot be written.
  [[nodiscard]] bool Write(const QString& section, const QString& key, const QString& value);

  const QString& Path() const { return path_; }

  static constexpr int kMaxValueBytes = 10239;  // a 10,240-byte buffer with its terminator

 private:
  QString path_;
};

// What a window tells the user when a setting could not be written to the file.
QString SettingNotSavedMessage(const QString& path);

}  // namespace hemulu
