// Probing a block device's superblock, with udev's record as the fall-back.
#include "engine/posix/block_device_probe.h"

#include <blkid.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "base/bounded_read.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

// A udev record is a few hundred bytes.
constexpr std::size_t udevRecordBytes = 64 * 1024;

std::vector<std::string> ProbedValues(dev_t device, std::initializer_list<const char*> tags)
{
    std::vector<std::string> values(tags.size());
    const std::unique_ptr<char, decltype(&std::free)> path(blkid_devno_to_devname(device), &std::free);
    if (!path)
        return values;
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(path.get()), &blkid_free_probe);
    if (!probe)
        return values;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(),
                                      BLKID_SUBLKS_TYPE | BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return values;
    std::size_t index = 0;
    for (const char* tag : tags) {
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe.get(), tag, &value, nullptr) == 0 && value != nullptr)
            values[index] = value;
        ++index;
    }
    return values;
}

// A line "E:KEY=value" of a udev record: the value, or empty.
std::string RecordedValue(const std::string& record, std::string_view key)
{
    std::size_t at = record.find(key);
    while (at != std::string::npos && at != 0 && record[at - 1] != '\n')
        at = record.find(key, at + 1);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size();
    return record.substr(start, record.find('\n', start) - start);
}

// udev probes every block device as it appears and keeps what it found where anyone may read it.
std::vector<std::string> RecordedValues(dev_t device, std::initializer_list<const char*> tags)
{
    std::vector<std::string> values(tags.size());
    const std::string path =
        "/run/udev/data/b" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string record;
    if (!file || ReadBounded(file.Get(), udevRecordBytes, record) != 0)
        return values;
    std::size_t index = 0;
    for (const char* tag : tags)
        values[index++] = RecordedValue(record, "E:ID_FS_" + std::string(tag) + "=");
    return values;
}

} // namespace

std::vector<std::string> BlockDeviceValues(dev_t device, std::initializer_list<const char*> tags)
{
    std::vector<std::string> values = ProbedValues(device, tags);
    const bool anyKnown =
        std::any_of(values.begin(), values.end(), [](const std::string& value) { return !value.empty(); });
    return anyKnown ? values : RecordedValues(device, tags);
}

} // namespace twinfol
