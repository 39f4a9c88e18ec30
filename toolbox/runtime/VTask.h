// VTask is the unit of concurrent work: every thread that runs toolbox code
// is a task carrying its own international settings, error stack and
// message queue. This header holds what the lower layers ask of tasks.
#pragma once

namespace zeft {

class VIntlMgr;

class VTask {
 public:
  // The calling task's international settings, else the process's, else
  // null. Lent, not retained.
  static VIntlMgr* GetCurrentIntlManager();
};

}  // namespace zeft
