// One run over the host editions, shared by the dialog and the unattended
// course. Platform-free.
#pragma once

#include "outcome.h"

// Calls deployOne for every edition of the table in table order, each
// whatever became of the ones before. deployOne gives 0 when its edition was
// deployed or is not to be, else the error that failed it. The run's outcome
// is the error of the first edition that failed, or 0.
template <class Table, class DeployOne>
unsigned long DeployInTableOrder(const Table& table, DeployOne&& deployOne) {
  unsigned long first = 0;
  for (const auto& edition : table) {
    first = MergeOutcome(first, deployOne(edition));
  }
  return first;
}
