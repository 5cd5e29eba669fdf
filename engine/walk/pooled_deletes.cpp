// Target-only items deleted by the workers, or moved to the Trash there.
#include "engine/walk/pooled_deletes.h"

#include "engine/walk/pooled_files.h"
#include "engine/walk/serial_level.h"

namespace twinfol {
namespace {

// One delete of a level, as a worker left it.
struct DeleteWork {
    bool started = false;
    ChangeResult result;
};

} // namespace

void PooledDeletes::PostDelete(const std::string& name, ItemKind kind, OrderedResults& results)
{
    auto done = std::make_shared<DeleteWork>();
    auto record = [this, &name, kind, done] {
        if (!done->started)
            return;
        const TargetOnlyItem item(kind, level_.Place(name));
        parts_.records.Show(DeletingText(kind), level_.targetDir, name);
        RecordDeleted(parts_, item, done->result);
    };
    results.Post(
        // One call whose Yes was given: a file is deleted even when a stop comes before a worker takes
        // it, so that the answer asked last is the only one a Cancel undoes. A folder's tree is not
        // begun after a stop.
        [this, &name, kind, done] {
            if (kind == ItemKind::Folder && parts_.IsStopped())
                return;
            done->started = true;
            done->result = DeleteTargetItem(parts_, TargetOnlyItem(kind, level_.Place(name)));
        },
        std::move(record),
        [this, &name, kind] { parts_.records.Foretell(DeletingText(kind), level_.targetDir, name); });
}

void PooledDeletes::DeleteTargetOnly(ItemKind kind)
{
    const std::set<std::string>& names =
        kind == ItemKind::Folder ? level_.target.folders : level_.target.files;
    // A file delete or two cost less here than the hand-over to a worker.
    if (kind == ItemKind::File && names.size() < 3) {
        SerialLevel(parts_, level_).DeleteTargetOnly(kind);
        return;
    }
    OrderedResults results(pool_, pool_.WorkerCount() * piecesPerWorker);
    for (const std::string& name : names) {
        const ItemPlace place = level_.Place(name);
        const ItemAction action = DecideTargetOnly(parts_.rules, place, kind);
        if (action == ItemAction::None)
            continue;
        if (action == ItemAction::Exclude) {
            results.Add([this, &name, kind] {
                parts_.records.Excluded({}, TargetOnlyItem(kind, level_.Place(name)).path);
            });
            continue;
        }
        // Questions are asked here, in walk order, and a delete is handed out only after its Yes.
        const TargetOnlyItem item(kind, place);
        if (std::string refusal = parts_.DeleteRefusal(); !refusal.empty()) {
            results.Add([this, item, refusal = std::move(refusal)]() mutable {
                RecordDeleteRefused(parts_, item, std::move(refusal));
            });
        } else if (parts_.MayDelete(item.problemPath, item.IsFolder())) {
            PostDelete(name, kind, results);
        }
        if (parts_.IsStopped())
            break;
    }
    results.CollectAll();
}

} // namespace twinfol
