#include "money/MoneyMenus.h"

namespace hemulu {

const std::vector<MenuItem<LedgerCommand>>& LedgerMenuItems() {
  using enum LedgerCommand;
  static const std::vector<MenuItem<LedgerCommand>> items = {
      {"删 除 数 据", Delete, kSuperOnly}, {kMenuSeparator}, {"导出Excel", Export}, {"打印", Print}};
  return items;
}

// Deleting a movement is for 超级管理员 only, as in the ledger: an operator is not
// offered the item (and the logic refuses the command as well).
const std::vector<MenuItem<BankCommand>>& BankMenuItems() {
  using enum BankCommand;
  static const std::vector<MenuItem<BankCommand>> items = {
      {"新建存取", New}, {"修改存取", Edit},    {"删除存取", Delete, kSuperOnly},
      {kMenuSeparator},  {"存取细节", Details}, {"存取汇总", Summary},
      {kMenuSeparator},  {"导出Excel", Export}, {"打印", Print}};
  return items;
}

}  // namespace hemulu
