// The portable options of the file classes: the access an open file has
// and the option and attribute bits that VFile, VFileDesc and their
// platform half XMacFile take.
#pragma once

#include "core/VTypes.h"

namespace zeft {

// The access of an open file: 0 read only; 1 read and write with an
// exclusive lock; 2 read and write with a shared lock (locks are refused at
// once, never waited for); 3 as 1 when possible, otherwise read only.
enum FileAccess : int32 {
  kFileAccessRead = 0,
  kFileAccessReadWriteExclusive = 1,
  kFileAccessReadWriteShared = 2,
  kFileAccessReadWriteOrRead = 3,
};

// File option bits.
inline constexpr unsigned kFileOptionResourceFork = 1;
inline constexpr unsigned kFileOptionCreate = 2;        // Open: create a missing file (0644)
inline constexpr unsigned kFileOptionTruncate = 4;      // Open: empty the file
inline constexpr unsigned kFileOptionReplace = 4;       // Create, copy, move: replace
inline constexpr unsigned kFileOptionReadAhead = 8;     // Open: sequential read-ahead
inline constexpr unsigned kFileOptionNoCache = 32;      // Open: keep the data out of the cache
inline constexpr unsigned kFileOptionNoCache2 = 64;     // the same
inline constexpr unsigned kFileOptionFollowLink = 128;  // Open: follow a symbolic link

// Attribute bits of GetPathAttributes and SetPathAttributes.
inline constexpr unsigned kFileAttributeLocked = 1;
inline constexpr unsigned kFileAttributeHidden = 2;

}  // namespace zeft
