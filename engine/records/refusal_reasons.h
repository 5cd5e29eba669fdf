// The reasons of our own that the file-system layers give when they refuse a copy or a delete. The
// real layer and the trial-run layer share them, so that a trial run's problem lines read exactly as
// the real run's.
#pragma once

namespace twinfol {

// What a copy or a delete finds in its way.
inline constexpr const char* sourceIsFolderReason = "the source is a folder";
inline constexpr const char* sourceIsSpecialReason =
    "the source is a special file (a FIFO, socket or device)";
inline constexpr const char* folderAtTargetReason = "a folder of that name stands at the target";
// The step at which a copy fails when its source cannot be opened for reading (the system's text
// follows): the problem line names the target, so the reason must name the source.
inline constexpr const char* sourceUnreadableStep = "the source file cannot be read";
// The read-only reasons name the option that lifts the rule, so that a person who meant the target to
// follow the source learns how from the problem line itself.
inline constexpr const char* targetReadOnlyReason =
    "the target file is read-only (--replace-read-only replaces it)";
inline constexpr const char* folderWhereFileReason = "a folder stands where a file was to be deleted";
inline constexpr const char* fileReadOnlyReason = "the file is read-only (--replace-read-only deletes it)";
// A folder that cannot go to the Trash whole.
inline constexpr const char* readOnlyInside =
    "the folder holds a read-only file (--replace-read-only deletes it)";
inline constexpr const char* fileWhereFolderReason =
    "a file or link of that name stands where the folder belongs";
// What making a folder path finds where one of its folders belongs (a link to a folder is fine there).
inline constexpr const char* fileWhereFoldersBelong = "a file stands where the folder belongs";

// A second spelling of one name, where the target folder does not tell upper and lower case apart.
inline constexpr const char* otherSpellingReason =
    "the target folder does not tell upper and lower case apart, and another spelling of this name "
    "is already there";

// A path the layer refuses to take below a run's roots.
inline constexpr const char* linkWhereFolderWas = "a symbolic link stands where a folder was";
inline constexpr const char* pathLeavesRoot = "the path leads out of the synchronised folder";
inline constexpr const char* mountedInside = "a file system is mounted inside it";

} // namespace twinfol
