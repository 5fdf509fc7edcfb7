#include "data/ChangeFeed.h"

#include "data/Schema.h"

namespace hemulu {

QSet<QString> AllTables() {
  QSet<QString> all;
  for (const schema::Table& table : schema::Tables()) all.insert(QString::fromLatin1(table.name));
  all.insert(QStringLiteral("sell_day"));
  return all;
}

ChangeFeed::ChangeFeed(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setInterval(kGatherMs);
  connect(&timer_, &QTimer::timeout, this, &ChangeFeed::Tell);
}

void ChangeFeed::Note(const QSet<QString>& tables) {
  if (tables.isEmpty()) return;
  pending_.unite(tables);
  if (!timer_.isActive()) timer_.start();
}

void ChangeFeed::Tell() {
  const QSet<QString> tables = std::exchange(pending_, {});
  if (!tables.isEmpty()) emit TablesChanged(tables);
}

}  // namespace hemulu
