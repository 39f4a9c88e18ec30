// The folders the system keeps for the user and for the machine, by kind,
// after the XDG base-directory and user-directory conventions: what the
// folder layer asks for when it wants the documents, temporary, application
// support, caches or preferences folder.
#pragma once

#include <string>

#include "platform/PathError.h"

namespace zeft::platform {

enum class SystemFolderKind {
  kHome,               // HOME, else the password database's home
  kExecutableFolder,   // the folder of the running executable
  kDocuments,          // XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents
  kDesktop,            // XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop
  kTemporary,          // /tmp
  kUserData,           // XDG_DATA_HOME, else ~/.local/share (user application support)
  kSharedData,         // /usr/local/share (machine-wide application support)
  kUserCaches,         // ~/.cache
  kSharedCaches,       // /var/cache
  kUserConfiguration,  // ~/.config (preferences)
  kApplications,       // /opt (machine-wide applications)
};

// The absolute path of the folder of that kind, without a trailing slash.
// With `create`, the folder and its missing ancestors are made (0700 for the
// user's folders, 0755 for the machine's); without it the path is given
// whether the folder exists or not. ENOENT when no home folder is known.
// XDG variables that are not absolute paths are ignored, as the convention
// asks.
PathError GetSystemFolder(SystemFolderKind kind, bool create, std::string& path);

}  // namespace zeft::platform
