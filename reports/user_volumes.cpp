// Picking the person's volumes out of the mount table.
#include "reports/user_volumes.h"

#include <algorithm>
#include <map>
#include <set>

#include <QString>

#include "base/path.h"

namespace twinfol {
namespace {

// The folders in which a desktop or a person mounts a volume, one level down.
bool IsVolumeFolder(const std::string& parent, const std::string& userName)
{
    if (parent == "/mnt/" || parent == "/media/")
        return true;
    return !userName.empty() &&
           (parent == "/media/" + userName + "/" || parent == "/run/media/" + userName + "/");
}

bool IsUserVolume(const std::string& mountPoint, const std::string& userName)
{
    if (mountPoint == "/mnt")
        return true;
    return mountPoint.size() > 1 && IsVolumeFolder(FolderOf(mountPoint), userName);
}

} // namespace

std::vector<Volume> UserVolumes(const std::vector<Volume>& mounted, const std::string& userName)
{
    std::vector<Volume> volumes;
    std::set<std::string> seen;
    for (const Volume& volume : mounted) {
        const std::string mountPoint = WithoutTrailingSeparator(volume.path);
        // A volume mounted twice at one place (a bind mount over it, say) is still one entry.
        if (!IsUserVolume(mountPoint, userName) || !seen.insert(mountPoint).second)
            continue;
        const std::string name = volume.label.empty() ? std::string(BaseNameOf(mountPoint)) : volume.label;
        volumes.push_back({mountPoint + pathSeparator, name});
    }
    std::map<std::string, int> uses;
    for (const Volume& volume : volumes)
        ++uses[volume.label];
    for (Volume& volume : volumes)
        if (uses[volume.label] > 1)
            volume.label += " (" + WithoutTrailingSeparator(volume.path) + ")";
    std::sort(volumes.begin(), volumes.end(), [](const Volume& left, const Volume& right) {
        const int folded = QString::fromStdString(left.label)
                               .compare(QString::fromStdString(right.label), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : left.label < right.label;
    });
    return volumes;
}

} // namespace twinfol
