#include "data/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <vector>

#include "data/Gbk.h"
#include "data/IniText.h"

namespace hemulu {

namespace {

struct Line {
  QString text;  // without its line end
  QString end;   // "\r\n", "\n" or "" for a last line without one
};

// The file's text: UTF-8 when valid, otherwise GBK (a file carried over from the
// Windows version keeps its shop name).
QString DecodeFile(const QByteArray& raw) {
  QByteArray bytes = raw;
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  if (IsValidUtf8(bytes)) return QString::fromUtf8(bytes);
  if (auto gbk = GbkToUnicode(bytes)) return *gbk;
  return QString::fromUtf8(bytes);
}

std::vector<Line> SplitLines(const QString& text) {
  std::vector<Line> lines;
  qsizetype start = 0;
  while (start < text.size()) {
    const qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
    if (nl < 0) {
      lines.push_back({text.mid(start), QString()});
      break;
    }
    const bool cr = nl > start && text.at(nl - 1) == QLatin1Char('\r');
    lines.push_back({text.mid(start, nl - start - (cr ? 1 : 0)), cr ? QStringLiteral("\r\n") : QStringLiteral("\n")});
    start = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or a null string.
QString SectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(QLatin1Char('['))) return QString();
  const qsizetype close = t.indexOf(QLatin1Char(']'));
  return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The key of a "key=value" line, or a null string for other lines.
QString KeyOf(const QString& line) {
  const QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) return QString();
  const qsizetype eq = t.indexOf(QLatin1Char('='));
  if (eq <= 0) return QString();
  return t.left(eq).trimmed();
}

QString LimitUtf8(const QString& value) {
  QByteArray utf8 = value.toUtf8();
  if (utf8.size() <= IniFile::kMaxValueBytes) return value;
  qsizetype cut = IniFile::kMaxValueBytes;
  while (cut > 0 && (static_cast<unsigned char>(utf8.at(cut)) & 0xC0) == 0x80) --cut;  // whole characters only
  return QString::fromUtf8(utf8.left(cut));
}

}  // namespace

QString IniFile::Read(const QString& section, const QString& key) const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return ReadIniText(file.readAll(), section, key);
}

QString ReadIniText(const QByteArray& contents, const QString& section, const QString& key) {
  const QString want_section = section.trimmed(), want_key = key.trimmed();
  if (want_section.isEmpty() || want_key.isEmpty()) return QString();
  bool in_section = false;
  for (const Line& line : SplitLines(DecodeFile(contents))) {
    const QString name = SectionName(line.text);
    if (!name.isNull()) {
      in_section = SameName(name, want_section);
      continue;
    }
    if (!in_section || !SameName(KeyOf(line.text), want_key)) continue;
    QString value = line.text.mid(line.text.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
      value = value.mid(1, value.size() - 2);
    return LimitUtf8(value);
  }
  return QString();
}

bool IniFile::Write(const QString& section, const QString& key, const QString& value) {
  const QString want_section = section.trimmed(), want_key = key.trimmed();
  if (want_section.isEmpty() || want_key.isEmpty()) return false;
  // One value is one line.
  QString clean = value;
  clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QString new_line = want_key + QLatin1Char('=') + clean;
  const QString crlf = QStringLiteral("\r\n");

  std::vector<Line> lines;
  {
    QFile file(path_);
    if (file.exists()) {
      if (!file.open(QIODevice::ReadOnly)) return false;
      lines = SplitLines(DecodeFile(file.readAll()));
    }
  }

  qsizetype section_at = -1, last_in_section = -1, key_at = -1;
  bool in_section = false;
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
    const QString name = SectionName(lines[i].text);
    if (!name.isNull()) {
      if (in_section) break;  // only the first section of that name counts
      in_section = SameName(name, want_section);
      if (in_section) section_at = last_in_section = i;
      continue;
    }
    if (!in_section) continue;
    if (!lines[i].text.trimmed().isEmpty()) last_in_section = i;
    if (SameName(KeyOf(lines[i].text), want_key)) {
      key_at = i;
      break;
    }
  }

  if (key_at >= 0) {
    lines[key_at].text = new_line;
  } else if (section_at >= 0) {
    if (lines[last_in_section].end.isEmpty()) lines[last_in_section].end = crlf;
    lines.insert(lines.begin() + last_in_section + 1, Line{new_line, crlf});
  } else {
    if (!lines.empty() && lines.back().end.isEmpty()) lines.back().end = crlf;
    lines.push_back({QLatin1Char('[') + want_section + QLatin1Char(']'), crlf});
    lines.push_back({new_line, crlf});
  }

  QString text;
  for (const Line& line : lines) text += line.text + line.end;
  QSaveFile out(path_);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write(text.toUtf8());
  return out.commit();
}

QString SettingNotSavedMessage(const QString& path) { return QStringLiteral("设置没有保存：无法写入文件\n") + path; }

}  // namespace hemulu
