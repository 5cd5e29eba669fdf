// Target-only items deleted by the workers, or moved to the Trash there. Files go out in pieces, so
// that the hand-over to a worker costs little against the deletes it carries; a folder's tree is a
// piece of its own.
#include "engine/walk/pooled_deletes.h"

#include <algorithm>
#include <vector>

#include "engine/walk/pooled_files.h"
#include "engine/walk/serial_level.h"

namespace twinfol {
namespace {

// Files deleted per piece of work: the same trade as for the files compared and copied.
constexpr std::size_t deletesPerPiece = 16;

// One delete of a level, as a worker left it.
struct DeleteWork {
    const std::string* name = nullptr;
    bool started = false;
    ChangeResult result;
};
using DeletePiece = std::vector<DeleteWork>;

// Hands out a piece of deletes, each answered Yes, recorded in its place.
void PostPiece(WalkParts& parts, Level& level, std::shared_ptr<DeletePiece> piece, ItemKind kind,
               OrderedResults& results)
{
    if (piece->empty())
        return;
    auto record = [&parts, &level, kind, piece] {
        for (const DeleteWork& done : *piece) {
            if (!done.started)
                continue;
            const TargetOnlyItem item(kind, level.Place(*done.name));
            parts.records.Show(DeletingText(kind), level.targetDir, *done.name);
            RecordDeleted(parts, item, done.result);
        }
    };
    const std::string* first = piece->front().name;
    results.Post(
        // Each delete of a piece had its Yes: a file is deleted even when a stop comes before a worker
        // takes it, so that the answer asked last is the only one a Cancel undoes. A folder's tree is
        // not begun after a stop.
        [&parts, &level, kind, piece] {
            for (DeleteWork& work : *piece) {
                if (kind == ItemKind::Folder && parts.IsStopped())
                    return;
                work.started = true;
                work.result = DeleteTargetItem(parts, TargetOnlyItem(kind, level.Place(*work.name)));
            }
        },
        std::move(record),
        [&parts, &level, kind, first] {
            parts.records.Foretell(DeletingText(kind), level.targetDir, *first);
        });
}

} // namespace

std::size_t PooledDeletes::PieceSize(ItemKind kind, std::size_t items) const
{
    // A question before each delete: the delete it answers goes out at once rather than wait for the
    // next answers. Folders are pieces of their own, since each may be a large tree.
    if (kind == ItemKind::Folder || parts_.rules.Options().confirmDeletes)
        return 1;
    const std::size_t shares = 2 * pool_.WorkerCount();
    return std::clamp<std::size_t>((items + shares - 1) / shares, 1, deletesPerPiece);
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
    const std::size_t pieceSize = PieceSize(kind, names.size());
    OrderedResults results(pool_, pool_.WorkerCount() * piecesPerWorker);
    auto piece = std::make_shared<DeletePiece>();
    // Whatever is recorded here takes its place after the deletes answered before it.
    const auto handOut = [&] {
        PostPiece(parts_, level_, std::exchange(piece, std::make_shared<DeletePiece>()), kind, results);
    };
    for (const std::string& name : names) {
        const ItemPlace place = level_.Place(name);
        const ItemAction action = DecideTargetOnly(parts_.rules, place, kind);
        if (action == ItemAction::None)
            continue;
        if (action == ItemAction::Exclude) {
            handOut();
            results.Add([this, &name, kind] {
                parts_.records.Excluded({}, TargetOnlyItem(kind, level_.Place(name)).path);
            });
            continue;
        }
        // Questions are asked here, in walk order, and a delete is handed out only after its Yes.
        const TargetOnlyItem item(kind, place);
        if (std::string refusal = parts_.DeleteRefusal(); !refusal.empty()) {
            handOut();
            results.Add([this, item, refusal = std::move(refusal)]() mutable {
                RecordDeleteRefused(parts_, item, std::move(refusal));
            });
        } else if (parts_.MayDelete(item.problemPath, item.IsFolder())) {
            piece->push_back(DeleteWork{&name, false, {}});
            if (piece->size() >= pieceSize)
                handOut();
        }
        if (parts_.IsStopped())
            break;
    }
    handOut();
    results.CollectAll();
}

} // namespace twinfol
