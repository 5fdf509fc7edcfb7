#pragma once
// The goods row as stored, for checks after a command; an empty record (and a failed
// test) when the row cannot be read.

#include <gtest/gtest.h>

#include "stock/GoodsLogic.h"

namespace hemulu::test {

inline GoodsRecord StoredGoods(AppContext& ctx, qint64 id) {
  const auto record = LoadGoods(ctx, id);
  if (!record || !*record) {
    ADD_FAILURE() << "goods " << id << " not readable";
    return {};
  }
  return **record;
}

}  // namespace hemulu::test
