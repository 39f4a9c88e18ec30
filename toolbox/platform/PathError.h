// The outcome of a file operation of the platform layer: 0 or an errno
// value, and the path of the item that failed, so that the caller can name
// the very item (a file deep inside a copied folder, say) in its error.
#pragma once

#include <string>
#include <utility>

namespace zeft::platform {

struct PathError {
  int fCode = 0;      // 0 on success, else an errno value
  std::string fPath;  // the item that failed; "" on success

  PathError() = default;
  PathError(int code, std::string path) : fCode(code), fPath(std::move(path)) {}

  bool Failed() const { return fCode != 0; }
};

}  // namespace zeft::platform
