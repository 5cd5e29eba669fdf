// Which mounted volumes the folder browser lists under "Computer" beside "/": the disks a desktop
// mounts for the person (USB sticks, cards, external drives) and those mounted by hand where people
// usually mount them. The mount table is handed in as data, so the choice can be tested on its own.
#pragma once

#include <string>
#include <vector>

namespace twinfol {

struct Volume {
    // Where it is mounted; in the result it ends in "/".
    std::string path;
    // The file system's label as mounted; in the result, the name the browser shows.
    std::string label;
};

// The volumes mounted directly in /mnt, /media, /media/USER or /run/media/USER (and /mnt itself),
// each once, sorted by the name shown. That name is the label, or the mount folder's name for a
// volume without one; two volumes that would show alike show their paths too.
std::vector<Volume> UserVolumes(const std::vector<Volume>& mounted, const std::string& userName);

} // namespace twinfol
