// Four-character codes and the 64-bit error code: a component signature in
// the high 32 bits and a number in the low 32 bits. Every facility that
// raises errors names its numbers here, so the whole table reads in one place.
#pragma once

#include "core/VTypes.h"

namespace zeft {

// Packs four characters big-endian, the first in the most significant byte
// ("zeft" -> 0x7A656674). Memory tags and component signatures use it.
constexpr uint32 FourCC(const char (&text)[5]) {
  return (uint32(uint8(text[0])) << 24) | (uint32(uint8(text[1])) << 16) |
         (uint32(uint8(text[2])) << 8) | uint32(uint8(text[3]));
}

using VError = uint64;

inline constexpr VError VE_OK = 0;

constexpr VError MakeVError(uint32 component, int32 number) {
  return (uint64(component) << 32) | uint64(uint32(number));
}
constexpr uint32 ErrorComponent(VError error) { return uint32(error >> 32); }
constexpr int32 ErrorNumber(VError error) { return int32(uint32(error)); }

// Error components.
inline constexpr uint32 kComponentToolbox = FourCC("zeft");
inline constexpr uint32 kComponentPosix = FourCC("POSX");
inline constexpr uint32 kComponentMach = FourCC("MACH");
inline constexpr uint32 kComponentCarbon = FourCC("CARB");
inline constexpr uint32 kComponentCocoa = FourCC("COCO");
inline constexpr uint32 kComponentXML = FourCC("xmlc");
inline constexpr uint32 kComponentJSONClasses = FourCC("NVRT");

constexpr VError ToolboxError(int32 number) { return MakeVError(kComponentToolbox, number); }
// A system call's errno as an error code.
constexpr VError PosixError(int32 number) { return MakeVError(kComponentPosix, number); }
// An errno-style outcome (0 for success, else an errno value) as an error
// code: success stays VE_OK.
constexpr VError PosixResult(int32 number) { return number == 0 ? VE_OK : PosixError(number); }

// Toolbox error numbers (component "zeft").
namespace toolbox_error {
inline constexpr int32 kGeneric = 1;
inline constexpr int32 kNotSupportedByValue = 2;
inline constexpr int32 kInvalidParameter = 3;
inline constexpr int32 kApplicationInitFailed = 4;
inline constexpr int32 kAccessDenied = 5;
inline constexpr int32 kUserCancelled = 6;
inline constexpr int32 kLauncherShutdown = 8;
inline constexpr int32 kMemoryFull = 100;
inline constexpr int32 kStringTooLong = 107;
inline constexpr int32 kBufferTooLong = 108;
// Streams.
inline constexpr int32 kStreamEndOfData = 200;
inline constexpr int32 kStreamNotOpened = 201;
inline constexpr int32 kStreamAlreadyOpened = 202;
inline constexpr int32 kStreamNotOpenForReading = 203;
inline constexpr int32 kStreamNotOpenForWriting = 204;
inline constexpr int32 kStreamNoFile = 205;
inline constexpr int32 kStreamStoppedByProgress = 206;
inline constexpr int32 kStreamBadSignature = 207;
inline constexpr int32 kStreamNoTextConverter = 208;
inline constexpr int32 kStreamBadText = 210;
// The same number, raised for a string unit of 128 or more where ASCII is required.
inline constexpr int32 kNotASCII = kStreamBadText;
inline constexpr int32 kStreamCannotUnget = 211;
// Blobs (a read-only blob shares the number of a stream not open for writing).
inline constexpr int32 kReadOnlyBlob = 204;
// Bag streams.
inline constexpr int32 kBagStreamBadVersion = 212;
// A count, size, offset, bucket or nesting depth out of bounds. 209 is the
// one stream number no other failure uses (213-219 belong to open files).
inline constexpr int32 kBagStreamCorrupted = 209;
// The same number for a value array stream whose element count is out of bounds.
inline constexpr int32 kArrayStreamCorrupted = kBagStreamCorrupted;
// Bag XML: an element or attribute name that is not an XML name (not written).
inline constexpr int32 kBagXMLInvalidName = 220;
inline constexpr int32 kTextConversionFailed = 300;
inline constexpr int32 kCannotCreateIntlSettings = 305;
// Process services: file-system watches, libraries and components.
inline constexpr int32 kFolderAlreadyWatched = 659;
inline constexpr int32 kFrameworkLinkUnreadable = 617;
inline constexpr int32 kComponentsNotInitialized = 1000;
inline constexpr int32 kComponentNotRegistered = 1001;
inline constexpr int32 kComponentAlreadyRegistered = 1002;
inline constexpr int32 kComponentUnknown = 1003;
inline constexpr int32 kComponentLibraryIncomplete = 1004;
inline constexpr int32 kComponentLibraryUnloadable = 1008;
inline constexpr int32 kLibraryCannotLoad = 1010;
// Native statuses that the native error table maps.
inline constexpr int32 kResourceNotFound = 401;
inline constexpr int32 kFileNotFound = 600;
inline constexpr int32 kFileInvalidName = 614;
// Open files.
inline constexpr int32 kFileCannotGetPosition = 213;
inline constexpr int32 kFileCannotSetPosition = 214;
inline constexpr int32 kFileCannotRead = 215;
inline constexpr int32 kFileCannotWrite = 216;
inline constexpr int32 kFileCannotFlush = 217;
inline constexpr int32 kFileCannotGetSize = 218;
inline constexpr int32 kFileCannotSetSize = 219;
// Files.
inline constexpr int32 kFileCannotRename = 601;
inline constexpr int32 kFileCannotOpen = 602;
inline constexpr int32 kFileCannotDelete = 604;
inline constexpr int32 kFileCannotCopy = 605;
inline constexpr int32 kFileCannotMove = 606;
inline constexpr int32 kFileCannotCreate = 607;
inline constexpr int32 kFileCannotGetAttributes = 608;
inline constexpr int32 kFileCannotSetAttributes = 609;
inline constexpr int32 kFileCannotLoadLocalization = 613;
inline constexpr int32 kFileCannotCreateAlias = 610;
inline constexpr int32 kFileCannotResolveAlias = 611;
inline constexpr int32 kFileCannotReveal = 612;
inline constexpr int32 kFileAliasIsFolder = 617;
inline constexpr int32 kFolderNotFound = 650;
inline constexpr int32 kFolderDiskFull = 658;
// Folders.
inline constexpr int32 kFolderNotEmpty = 651;
inline constexpr int32 kFolderCannotCreate = 652;
inline constexpr int32 kFolderCannotDelete = 653;
inline constexpr int32 kFolderCannotGetAttributes = 654;
inline constexpr int32 kFolderCannotSetPermissions = 655;
inline constexpr int32 kFolderCannotReveal = 656;
inline constexpr int32 kFolderCannotRename = 657;
inline constexpr int32 kFolderCannotCopy = 660;
inline constexpr int32 kFolderCannotTrash = 661;
// An alias expected to name a folder names something else.
inline constexpr int32 kFileAliasIsNotFolder = 618;
// Named file systems.
inline constexpr int32 kFileSystemNoSpaceAccounting = 684;
inline constexpr int32 kFileSystemQuotaExceeded = 685;
inline constexpr int32 kFileSystemInvalidName = 686;
inline constexpr int32 kFileSystemInvalidDefinition = 687;
}  // namespace toolbox_error

// JSON model, parser and writer (component "zeft") and the JSON class
// system (component "NVRT").
namespace json_error {
inline constexpr int32 kMalformed = 550;
inline constexpr int32 kInvalidToken = 551;
inline constexpr int32 kUnterminatedString = 552;
inline constexpr int32 kExtraComma = 553;
inline constexpr int32 kEmptyToken = 554;
inline constexpr int32 kCircular = 900;
inline constexpr int32 kPathMissingBracket = 901;
inline constexpr int32 kPathEmptyStep = 902;
inline constexpr int32 kPathIndexThroughScalar = 903;
inline constexpr int32 kPathNameThroughScalar = 904;
inline constexpr int32 kHasBinaryForm = 911;
inline constexpr int32 kNotGenericObject = 914;
inline constexpr int32 kNoBinaryForm = 915;
inline constexpr int32 kMetTwice = 916;
// References.
inline constexpr int32 kPointerNoValue = 906;
inline constexpr int32 kPointerMalformed = 907;
inline constexpr int32 kPointerCycle = 908;
inline constexpr int32 kPointerRefused = 909;
inline constexpr int32 kPointerThroughScalar = 910;
inline constexpr int32 kReferredFileInvalid = 912;
inline constexpr int32 kReferredFileMissing = 913;
// Component "NVRT".
inline constexpr int32 kParamNotNumber = 7;
inline constexpr int32 kParamNotString = 8;
inline constexpr int32 kParamNotContainer = 54;
inline constexpr int32 kParamNotBoolean = 55;
inline constexpr int32 kTooManyParams = 58;
inline constexpr int32 kReadOnlyProperty = -10702;
inline constexpr int32 kReadOnlyObject = -10705;
inline constexpr int32 kSuperMemberNotFunction = -10707;
inline constexpr int32 kByteIndexOutOfRange = -10713;
inline constexpr int32 kObjectNotInUse = -10719;
inline constexpr int32 kArrayNotInUse = -10720;
inline constexpr int32 kPrivateContainer = -10721;
inline constexpr int32 kObjectOfOtherGroup = -10724;
inline constexpr int32 kArrayOfOtherGroup = -10725;
inline constexpr int32 kScalarInStorage = -10727;
inline constexpr int32 kNotCallable = -10729;
inline constexpr int32 kNoRunningClassFunction = -10736;
inline constexpr int32 kNotAClassObject = -10745;
inline constexpr int32 kSuperConstructorNotAllowed = -10746;
inline constexpr int32 kSuperclassNotAClass = -10747;
inline constexpr int32 kSuperConstructorNotCalled = -10748;
inline constexpr int32 kNoInstantiator = -10749;
inline constexpr int32 kFinalOverridden = -10750;
inline constexpr int32 kNotConstructed = -10751;
inline constexpr int32 kLockerInUseElsewhere = -10753;
}  // namespace json_error

}  // namespace zeft
