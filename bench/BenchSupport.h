#pragma once
// hemulu-bench's shared pieces: a big shop in a temporary program folder, the bare reads
// that every case is measured against, and the one line format of the results.
//
// A case is a function registered with HEMULU_BENCH_CASE in its own file; main() runs
// them in order (or those whose names contain one of the command-line words).

#include <QList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/AppContext.h"

namespace hemulu::bench {

class SilentPrompter final : public Prompter {
 public:
  void Message(const QString& text, const QString& caption, MessageKind kind) override;
  bool Confirm(const QString&, const QString&, ConfirmDefault) override { return true; }
  std::optional<QString> AskText(const QString&, const QString&, TextEcho) override { return std::nullopt; }
  std::optional<QString> ChooseFolder(const QString&, const QString&) override { return std::nullopt; }
};

class SilentNotifier final : public Notifier {
 public:
  void Notify(const QString&, const QString&) override {}
};

[[noreturn]] void Fail(const char* what, const DbError& e);
[[noreturn]] void Fail(const char* what, const QString& why);

// The sizes of the big shop.
inline constexpr int kGoods = 100000;
inline constexpr int kSales = 1000000;
inline constexpr int kLedgerRows = 100000;
inline constexpr int kBankRows = 100000;

// A program folder prepared by the real start-up code, with a context on it (database
// open, user 超级管理员). The tables are filled on demand, once each, by the
// generators of BenchData.h, so a run of one case only pays for the data it needs.
class BenchShop {
 public:
  BenchShop();
  AppContext& ctx() { return *ctx_; }
  Database& db() { return ctx_->db; }
  QString Dir() const { return dir_.path(); }
  QString FilePath(const QString& name) const { return dir_.filePath(name); }

  void EnsureGoods();  // kGoods goods rows
  void EnsureSales();  // kSales sales over three years (and the goods they sell)
  void EnsureLedger();
  void EnsureBank();
  int GoodsCount() const { return goods_; }

  // An unencrypted copy of the database as it is now, re-made after any change by the
  // generators: the bare read there is the storage engine's own limit.
  sqlite3* Plain();
  // The database closed and opened again: its page cache is empty, as after start-up.
  void Reopen();

 private:
  QTemporaryDir dir_;
  SilentPrompter prompter_;
  SystemClock clock_;
  SilentNotifier notifier_;
  std::unique_ptr<AppContext> ctx_;
  int goods_ = 0;
  bool sales_ = false, ledger_ = false, bank_ = false;
  sqlite3* plain_ = nullptr;
  bool plain_stale_ = true;
};

// Steps through every row of the query reading every column as the program reads it
// (numbers as double, texts as QString); returns the time in ms.
double BareRead(sqlite3* db, const char* sql, const QList<QVariant>& values = {});

// "name: N ms (baseline M ms, ratio R; plain P ms, ratio Q)"; without a baseline only
// "name: N ms".
void PrintCase(const char* name, double ms, std::optional<double> baseline = {}, std::optional<double> plain = {});
// Keeps a case's figure for the engines' comparison at the end of the run (PrintCase
// keeps its own).
void RecordFigure(const std::string& name, double ms);
// "name: file N ms | server M ms" for every case timed on both engines in this run (the
// server's named pg_<name>).
void PrintEngineComparison();
// "name_memory: peak resident N MB (resident now M MB)".
void PrintMemory(const char* name);

double Median(std::vector<double> values);
// Runs `run` `times` times and returns the median time in ms.
double MedianMs(int times, const std::function<void()>& run);
double PeakResidentMb();
double ResidentMb();

using CaseFunction = void (*)(BenchShop&);
bool RegisterCase(int order, const char* name, CaseFunction run);
struct Case {
  int order;
  const char* name;
  CaseFunction run;
};
std::vector<Case>& Cases();

}  // namespace hemulu::bench

// Registers a case; `order` places it among the others (start-up first, then stock,
// sales, charts, money, admin).
#define HEMULU_BENCH_CASE(order, name, function) \
  static const bool function##_registered = ::hemulu::bench::RegisterCase(order, name, function)
