// Every SQL text of the logic libraries must read alike on the file and on the server,
// unless it is marked as one engine's own (FileSql / ServerSql / FileOnlySql, in
// data/EngineSql.h). This reads the sources themselves: the string literals of each
// logic file, adjacent ones joined as the compiler joins them.
#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Literal {
  std::string text;    // unescaped, adjacent literals joined
  std::string before;  // the code just before it, blanks removed
  int line = 0;
};

struct Finding {
  int line = 0;
  std::string text;
  std::string why;
};

std::string Unescape(const std::string& body) {
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 == body.size()) {
      out += body[i];
      continue;
    }
    const char c = body[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

// The string literals of a C++ source, comments and character literals skipped.
std::vector<Literal> Literals(const std::string& src) {
  std::vector<Literal> out;
  std::string code;  // code outside literals and comments, blanks removed
  bool joinable = false;
  int line = 1;
  for (std::size_t i = 0; i < src.size();) {
    const char c = src[i];
    if (c == '\n') ++line;
    if (src.compare(i, 2, "//") == 0) {
      i = src.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (src.compare(i, 2, "/*") == 0) {
      const std::size_t end = src.find("*/", i + 2);
      for (std::size_t k = i; k < end && k < src.size(); ++k) line += src[k] == '\n';
      i = end == std::string::npos ? src.size() : end + 2;
      continue;
    }
    if (c == '\'') {
      std::size_t k = i + 1;
      while (k < src.size() && src[k] != '\'') k += src[k] == '\\' ? 2 : 1;
      code += "'c'";
      joinable = false;
      i = k + 1;
      continue;
    }
    if (c == '"') {
      const bool raw = i > 0 && src[i - 1] == 'R';
      std::string body;
      std::size_t k = i + 1;
      if (raw) {
        const std::size_t open = src.find('(', k);
        const std::string close = ")" + src.substr(k, open - k) + "\"";
        const std::size_t end = src.find(close, open);
        body = src.substr(open + 1, end - open - 1);
        k = end + close.size() - 1;
      } else {
        while (k < src.size() && src[k] != '"') k += src[k] == '\\' ? 2 : 1;
        body = Unescape(src.substr(i + 1, k - i - 1));
      }
      for (char b : body) line += b == '\n';
      if (joinable && !out.empty()) {
        out.back().text += body;
      } else {
        out.push_back({body, code.size() > 40 ? code.substr(code.size() - 40) : code, line});
      }
      joinable = true;
      i = k + 1;
      continue;
    }
    if (!std::isspace(static_cast<unsigned char>(c))) {
      code += c;
      joinable = false;
    }
    ++i;
  }
  return out;
}

// A statement, or a one-line piece of one (" from (", " where ").
bool LooksLikeSql(const std::string& lower) {
  static const std::regex kStatement(
      R"(^\s*(select|insert|update|delete|with|pragma|vacuum|create|drop|alter|replace|attach|begin)\b)");
  static const std::regex kPiece(R"(\b(from|where|like|glob|group by|order by|indexed by)\b)");
  return std::regex_search(lower, kStatement) ||
         (lower.find('\n') == std::string::npos && lower.size() < 200 && std::regex_search(lower, kPiece));
}

// The text with quoted names and string constants blanked, so that only SQL words remain.
std::string Unquoted(const std::string& sql) {
  std::string out = sql;
  char in = 0;
  for (char& c : out) {
    if (in) {
      if (c == in) in = 0;
      c = ' ';
    } else if (c == '\'' || c == '"') {
      in = c;
      c = ' ';
    }
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const struct {
  const char* pattern;
  const char* why;
} kOneEngine[] = {
    {R"(\binsert\s+or\b|\breplace\s+into\b)", "INSERT OR …: the file's own"},
    {R"(\b(total|ifnull|group_concat|strftime|julianday|datetime|printf|instr)\s*\()", "a function of the file alone"},
    {R"(\b(max|min)\s*\([^()]*,)", "max/min of several values: the file's own"},
    {R"(\bglob\b)", "GLOB: the file's own"},
    {R"(\bindexed\s+by\b|\bnot\s+indexed\b)", "INDEXED BY: the file's own"},
    {R"(\browid\b|\boid\b)", "rowid: the file's own"},
    {R"(\bpragma\b|\bsqlite_\w*|\bvacuum\b|\battach\b)", "whole-file work"},
    {R"(\bbegin\s+(immediate|exclusive|deferred)\b)", "BEGIN IMMEDIATE: the data layer's"},
    {R"(\blike\b|\bescape\b)", "LIKE folds case on the file only"},
    {R"(\bilike\b|::|\breturning\b|\bfor\s+update\b|\bcollate\b|\bgreatest\b|\bleast\b|~|\bnow\s*\()",
     "the server's own"},
};

std::vector<Finding> Findings(const std::string& src) {
  std::vector<Finding> out;
  const std::vector<Literal> literals = Literals(src);
  for (std::size_t n = 0; n < literals.size(); ++n) {
    const Literal& lit = literals[n];
    const std::string lower = Lower(lit.text);
    if (!LooksLikeSql(lower)) continue;
    const auto marked = [&](const char* mark) {
      const std::string& b = lit.before;
      const std::string m = std::string(mark) + "(";
      return b.ends_with(m) || b.ends_with(m + "QStringLiteral(");
    };
    if (marked("FileSql") || marked("ServerSql") || marked("FileOnlySql")) continue;
    const auto add = [&](std::string why) { out.push_back({lit.line, lit.text, std::move(why)}); };
    const std::string words = Unquoted(lit.text);
    const std::string lower_words = Lower(words);
    for (const auto& rule : kOneEngine)
      if (std::regex_search(lower_words, std::regex(rule.pattern))) add(rule.why);
    // Unquoted names the server folds to lower case.
    static const std::regex kName(R"([A-Za-z_][A-Za-z0-9_]*)");
    for (auto it = std::sregex_iterator(words.begin(), words.end(), kName); it != std::sregex_iterator(); ++it) {
      const std::string name = it->str();
      const std::string folded = Lower(name);
      const bool mixed = name != folded && name != [&] {
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
      }();
      if (mixed || folded == "id" || folded == "uid" || folded == "username" || folded == "password")
        add("unquoted name " + name + ": the server folds it to lower case");
    }
    // A sub-query in FROM needs a name on the server.
    static const std::regex kFromParen(R"(\bfrom\s*\()");
    for (auto it = std::sregex_iterator(lower_words.begin(), lower_words.end(), kFromParen);
         it != std::sregex_iterator(); ++it) {
      std::size_t k = static_cast<std::size_t>(it->position() + it->length());
      int depth = 1;
      for (; k < lower_words.size() && depth; ++k) depth += lower_words[k] == '(' ? 1 : lower_words[k] == ')' ? -1 : 0;
      std::string rest = depth ? (n + 1 < literals.size() ? Lower(literals[n + 1].text) : "") : lower_words.substr(k);
      if (depth) {
        if (!rest.starts_with(")")) {
          add("a sub-query without its closing parenthesis");
          continue;
        }
        rest = rest.substr(1);
      }
      static const std::regex kAlias(
          R"(^\s*(as\s+)?(?!(where|order|group|limit|union|on|having|join)\b)[a-z_][a-z0-9_]*)");
      if (!std::regex_search(rest, kAlias)) add("a sub-query without an alias");
    }
  }
  return out;
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) out += "  line " + std::to_string(f.line) + ": " + f.why + "\n    " + f.text + "\n";
  return out;
}

TEST(SqlPortability, EveryLogicStatementReadsAlikeOnBothEngines) {
  const QStringList files = QString::fromUtf8(HEMULU_LOGIC_SOURCES).split('|', Qt::SkipEmptyParts);
  ASSERT_GT(files.size(), 10);
  int with_sql = 0;
  for (const QString& path : files) {
    if (path.contains("/src/data/")) continue;  // the seam itself speaks each engine's own
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const std::string src = f.readAll().toStdString();
    for (const Literal& l : Literals(src)) with_sql += LooksLikeSql(Lower(l.text));
    const auto findings = Findings(src);
    EXPECT_TRUE(findings.empty()) << path.toStdString() << ":\n" << Describe(findings);
  }
  // The reader really finds the statements (a broken reader would pass everything).
  EXPECT_GT(with_sql, 40);
}

TEST(SqlPortability, CatchesPlantedOneEngineStatements) {
  const char* planted[] = {
      R"x(auto st = ctx.Query("select ID from buy where 编码=?");)x",
      R"x(ctx.db.Execute("update \"UserName\" set 密码=? where \"ID\"=?" " and UserName<>?", a, b);)x",
      R"x(ctx.Query("INSERT OR IGNORE into buy(名称) values(?)");)x",
      R"x(ctx.Query("select total(金额) from bank");)x",
      R"x(q = QStringLiteral("select * from sell where 首拼 like ? escape '\\'");)x",
      R"x(ctx.Query("select \"ID\" from sell indexed by \"sell_首拼_合计\" where 名称=?");)x",
      R"x(ctx.Query("SELECT 日期 FROM sell_day WHERE 日期 GLOB '[0-9]*'");)x",
      R"x(ctx.Query("select count(*) from (select \"ID\" from buy)");)x",
      R"x(std::string s = "select \"ID\" from (" + plan + ")"; )x",
      R"x(ctx.Query("select rowid from buy order by 名称");)x",
      R"x(ctx.Query("PRAGMA table_info(buy)");)x",
      R"x(ctx.Query("select \"ID\" from buy where 名称 ilike ?");)x",
      R"x(ctx.Query("select \"ID\" from buy where \"ID\"=? for update");)x",
      R"x(ctx.Query("select max(a, b) from buy");)x",
      R"x(ctx.Query(/* "select 1" */ "select ifnull(名称, '') from buy");)x",
  };
  for (const char* src : planted) EXPECT_FALSE(Findings(src).empty()) << src;

  // Portable texts, and each engine's own text where it is marked so, pass.
  const char* fine[] = {
      R"x(ctx.Query("select \"ID\", 名称 from buy where \"ID\"=? order by \"ID\"");)x",
      R"x(ctx.Query("select count(*) from (select \"ID\" from buy) as goods");)x",
      R"x(std::string s = "select \"ID\" from (" + plan + ") as plan_rows"; )x",
      R"x(ForEngine(db, FileSql("select * from buy where 名称 like ? escape '\\'"),
                      ServerSql("select * from buy where 名称 COLLATE \"C\" ilike ? escape '\\'"));)x",
      R"x(c.Value(FileOnlySql("PRAGMA quick_check"));)x",
      R"x(ctx.Query("select 名称 from buy where 备注='ID like rowid'");)x",
      R"x(ShowMessage("没有找到 ID 为 3 的商品");)x",
  };
  for (const char* src : fine) EXPECT_TRUE(Findings(src).empty()) << src << "\n" << Describe(Findings(src));
}

}  // namespace
