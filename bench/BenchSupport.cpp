#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BenchData.h"
#include "data/EmbeddedFiles.h"
#include "data/Engine.h"

namespace hemulu::bench {

void SilentPrompter::Message(const QString& text, const QString&, MessageKind) {
  std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
}

void Fail(const char* what, const DbError& e) { Fail(what, e.message); }

void Fail(const char* what, const QString& why) {
  std::fprintf(stderr, "%s: %s\n", what, why.toUtf8().constData());
  std::exit(1);
}

BenchShop::BenchShop() {
  if (!WriteWorkingFiles(dir_.path(), dir_.path())) std::exit(1);
  ctx_ = std::make_unique<AppContext>(dir_.path(), prompter_, clock_, notifier_);
  ctx_->session.SetUser(kSuperAdministrator, QString());
  if (auto r = ctx_->db.Open(); !r) Fail("open", r.error());
}

void BenchShop::EnsureGoods() {
  if (goods_) return;
  QElapsedTimer t;
  t.start();
  GenerateGoods(db(), kGoods);
  goods_ = kGoods;
  plain_stale_ = true;
  std::printf("# generated %d goods in %lld ms\n", kGoods, static_cast<long long>(t.elapsed()));
}

void BenchShop::EnsureSales() {
  if (sales_) return;
  EnsureGoods();
  QElapsedTimer t;
  t.start();
  GenerateSales(db(), kSales, goods_);
  sales_ = true;
  plain_stale_ = true;
  std::printf("# generated %d sales in %lld ms\n", kSales, static_cast<long long>(t.elapsed()));
}

void BenchShop::EnsureLedger() {
  if (ledger_) return;
  GenerateLedger(db(), kLedgerRows);
  ledger_ = true;
  plain_stale_ = true;
}

void BenchShop::EnsureBank() {
  if (bank_) return;
  GenerateBank(db(), kBankRows);
  bank_ = true;
  plain_stale_ = true;
}

sqlite3* BenchShop::Plain() {
  if (!plain_stale_) return plain_;
  sqlite3_close_v2(plain_);
  plain_ = nullptr;
  const QString path = dir_.filePath(QStringLiteral("plain.db"));
  QFile::remove(path);
  // An empty key attaches an unencrypted file.
  auto attach = db().Prepare("ATTACH DATABASE ? AS plain KEY ''");
  if (!attach) Fail("attach plain", attach.error());
  attach->BindAll(path);
  if (QFile f(path); !f.open(QIODevice::WriteOnly)) Fail("plain copy", f.errorString());
  if (auto r = attach->Run(); !r) Fail("attach plain", r.error());
  // The same page size as ours, so that the difference is the encryption alone.
  const std::string pages = "PRAGMA plain.page_size=" + std::to_string(kCipherPageSize) +
                            "; SELECT sqlcipher_export('plain'); DETACH DATABASE plain;";
  if (auto r = db().ExecScript(pages.c_str()); !r) Fail("export plain", r.error());
  if (sqlite3_open_v2(path.toUtf8().constData(), &plain_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK)
    Fail("open plain", QString::fromUtf8(sqlite3_errmsg(plain_)));
  sqlite3_exec(plain_, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
  plain_stale_ = false;
  return plain_;
}

void BenchShop::Reopen() {
  db().Close();
  if (auto r = db().Open(); !r) Fail("reopen", r.error());
}

double BareRead(sqlite3* db, const char* sql, const QList<QVariant>& values) {
  QElapsedTimer t;
  t.start();
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
    Fail("prepare bare read", QString::fromUtf8(sqlite3_errmsg(db)));
  Statement st(db, raw);
  for (int i = 0; i < values.size(); ++i) st.Bind(i + 1, values[i]);
  const int columns = st.ColumnCount();
  double checksum = 0;
  qsizetype chars = 0;
  for (;;) {
    auto row = st.Step();
    if (!row) Fail("bare read", row.error());
    if (!*row) break;
    for (int c = 0; c < columns; ++c) {
      const int type = sqlite3_column_type(raw, c);
      if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        checksum += st.Double(c);
      else
        chars += st.Text(c).size();
    }
  }
  const double ms = t.nsecsElapsed() / 1e6;
  if (checksum == -1 && chars == -1) std::puts("");  // keeps the reads
  return ms;
}

namespace {
std::vector<std::pair<std::string, double>>& Figures() {
  static std::vector<std::pair<std::string, double>> figures;
  return figures;
}
}  // namespace

void RecordFigure(const std::string& name, double ms) { Figures().emplace_back(name, ms); }

void PrintEngineComparison() {
  bool header = false;
  for (const auto& [name, server_ms] : Figures()) {
    if (!name.starts_with("pg_")) continue;
    const std::string file_name = name.substr(3);
    const auto file =
        std::find_if(Figures().begin(), Figures().end(), [&](const auto& f) { return f.first == file_name; });
    if (file == Figures().end()) continue;
    if (!header) std::printf("# both engines, this run:\n");
    header = true;
    std::printf("%s: file %.2f ms | server %.2f ms\n", file_name.c_str(), file->second, server_ms);
  }
  std::fflush(stdout);
}

void PrintCase(const char* name, double ms, std::optional<double> baseline, std::optional<double> plain) {
  RecordFigure(name, ms);
  std::printf("%s: %.0f ms", name, ms);
  if (baseline) {
    std::printf(" (baseline %.0f ms, ratio %.2f", *baseline, ms / *baseline);
    if (plain) std::printf("; plain %.0f ms, ratio %.2f", *plain, ms / *plain);
    std::printf(")");
  }
  std::printf("\n");
  std::fflush(stdout);
}

void PrintMemory(const char* name) {
  std::printf("%s_memory: peak resident %.1f MB (resident now %.1f MB)\n", name, PeakResidentMb(), ResidentMb());
  std::fflush(stdout);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double MedianMs(int times, const std::function<void()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < times; ++i) {
    QElapsedTimer t;
    t.start();
    run();
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  return Median(ms);
}

namespace {
double StatusMb(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ').value(0).toLong() / 1024.0;
  return -1;
}
}  // namespace

double PeakResidentMb() { return StatusMb("VmHWM:"); }
double ResidentMb() { return StatusMb("VmRSS:"); }

std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

bool RegisterCase(int order, const char* name, CaseFunction run) {
  Cases().push_back({order, name, run});
  return true;
}

}  // namespace hemulu::bench
