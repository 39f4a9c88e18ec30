// The JSON objects a task keeps alive until it ends, kept with the JSON
// model whose objects they are.
#include "json/VJSONObject.h"
#include "runtime/VTask.h"

namespace zeft {

void VTask::RegisterJSONObject(VJSONObject* object) {
  VTask* task = GetCurrent();
  if (task == nullptr || object == nullptr) return;
  if (task->fJSONObjects.insert(object).second) object->Retain();
}

void VTask::UnregisterJSONObject(VJSONObject* object) {
  VTask* task = GetCurrent();
  if (task == nullptr || task->fJSONObjects.erase(object) == 0) return;
  object->Release();
}

void VTask::_ReleaseJSONObjects() {
  // Taken out first: releasing an object may register or unregister others.
  while (!fJSONObjects.empty()) {
    std::set<VJSONObject*> objects;
    objects.swap(fJSONObjects);
    for (VJSONObject* object : objects) object->Release();
  }
}

}  // namespace zeft
