// Carries out a level's decisions on the engine thread alone, item by item in walk order: what a run
// with one job does, and every walk that tells an observer of each item (a plan's preview).
#pragma once

#include "engine/walk/walk_level.h"

namespace twinfol {

class SerialLevel {
public:
    SerialLevel(WalkParts& parts, Level& level) : parts_(parts), level_(level) {}

    void HandleSourceFiles();
    void HandleSourceFolders();
    // Deletes the target-only items of the kind that are left once the source's items were handled.
    void DeleteTargetOnly(ItemKind kind);

private:
    void AddFile(const std::string& name);
    void HandleTwinFile(const std::string& name);
    void HandleSourceFolder(const std::string& name);
    void AddFolder(const FolderItem& folder);

    WalkParts& parts_;
    Level& level_;
};

} // namespace twinfol
