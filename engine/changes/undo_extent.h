// How much an undo would move: the files and bytes under each kind of item its run left, counted on
// disk, so that the question before an undo can say more than the number of top-level items.
#pragma once

#include <string>

#include "engine/changes/run_undo.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_report.h"

namespace twinfol {

struct UndoExtent {
    // What the run added and the undo would move to the Trash, at any depth.
    FolderContents added;
    // The old content of the files the run overwrote, as the Trash keeps it.
    FolderContents overwritten;
    // What the run deleted and the undo would bring back from the Trash, at any depth.
    FolderContents deleted;
};

// Walks what the run's journal names, below the target (the folder FindLastRun was given, ending with
// the separator) and in the Trash, without following links. Items that are gone are not counted; a
// run without the Trash counts only its adds, for nothing else can come back.
UndoExtent MeasureUndo(FileSystem& fileSystem, const UndoableRun& run, const std::string& target);

} // namespace twinfol
