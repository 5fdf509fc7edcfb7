#pragma once
// The sales cases of hemulu-bench: run in a process of their own ("hemulu-bench
// sales") so that their peak memory is their own.
int RunSalesBench();
