// Which run "Undo Last Run" undoes for the window's two locations, and the question put before it.
#pragma once

#include <optional>
#include <string>

#include "engine/changes/run_undo.h"
#include "engine/changes/undo_extent.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_options.h"
#include "engine/records/user_places.h"

namespace twinfol {

struct UndoChoice {
    // The direction of the run being undone.
    SyncDirection direction = SyncDirection::None;
    // Its target, as the window's location names it.
    std::string target;
    UndoableRun run;
};

// The newer of the last runs into either location that came from the other one, when it can be undone.
std::optional<UndoChoice> FindUndoChoice(FileSystem& fileSystem, const UserPlaces& places,
                                         const std::string& location1, const std::string& location2);

// The last run into the target, for the History window's "Undo": shown as a run towards location 1
// when the target is the window's location 1, towards location 2 otherwise. Nothing, with the reason in
// refusal, when it cannot be undone.
std::optional<UndoChoice> UndoChoiceForTarget(FileSystem& fileSystem, const UserPlaces& places,
                                              const std::string& target, const std::string& location1,
                                              std::string& refusal);

// The question before the undo: which run, and what it would do with how many items, and with how
// many files and bytes under them (the extent MeasureUndo found). The window measures only when the
// button is pressed, never when it refreshes the button: a walk of a large added tree is worth it only
// when someone is about to be asked.
std::string UndoQuestionText(const UndoChoice& choice, const UndoExtent& extent);

} // namespace twinfol
