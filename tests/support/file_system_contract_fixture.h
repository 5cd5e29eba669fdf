// The layers the file-system contract runs against, and the fixture its typed suites share: a real
// temporary tree, the layer under test, and helpers that list and snapshot the tree.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/fs/dry_run_file_system.h"
#include "engine/posix/posix_file_system.h"
#include "support/fault_injecting_file_system.h"
#include "support/primitives_only_file_system.h"
#include "support/sftp_layer.h"
#include "support/temp_tree.h"

namespace twinfol::test {

struct PosixLayer {
    PosixFileSystem fs;
};
struct NamedTemporaryLayer {
    PosixFileSystem fs{TemporaryFileKind::AlwaysNamed};
};
struct FaultInjectingLayer {
    PosixFileSystem posix;
    FaultInjectingFileSystem fs{posix};
};
struct PrimitivesOnlyLayer {
    PosixFileSystem posix;
    PrimitivesOnlyFileSystem fs{posix};
};
struct DryRunLayer {
    PosixFileSystem posix;
    DryRunFileSystem fs{posix};
};

// The layers that write to the disk, and all of them with the trial-run layer, which only pretends.
using WritingLayers =
    ::testing::Types<PosixLayer, NamedTemporaryLayer, FaultInjectingLayer, PrimitivesOnlyLayer>;
using EveryLayer =
    ::testing::Types<PosixLayer, NamedTemporaryLayer, FaultInjectingLayer, PrimitivesOnlyLayer, DryRunLayer>;

struct LayerNames {
    template <typename Layer> static std::string GetName(int)
    {
        if constexpr (std::is_same_v<Layer, PosixLayer>)
            return "Posix";
        else if constexpr (std::is_same_v<Layer, NamedTemporaryLayer>)
            return "PosixNamedTemporary";
        else if constexpr (std::is_same_v<Layer, FaultInjectingLayer>)
            return "FaultInjecting";
        else if constexpr (std::is_same_v<Layer, PrimitivesOnlyLayer>)
            return "PrimitivesOnly";
        else if constexpr (std::is_same_v<Layer, SftpLayer>)
            return "Sftp";
        else
            return "DryRun";
    }
};

// What a copy told of the files it copied, in order.
class RecordedProgress : public CopyProgress {
public:
    void DataCopied(std::uint64_t, std::uint64_t) override {}
    void FileCopied(std::uint64_t size) override
    {
        const std::lock_guard lock(mutex_);
        files_.push_back(size);
    }
    void EntryNotCopied(const std::string& sourcePath, const std::string&, const FsStatus& why) override
    {
        const std::lock_guard lock(mutex_);
        notCopied_.emplace_back(sourcePath, why.Reason());
    }
    std::vector<std::uint64_t> Files() const
    {
        const std::lock_guard lock(mutex_);
        return files_;
    }
    // Each entry a tree copy left out: its source path and the reason.
    std::vector<std::pair<std::string, std::string>> NotCopied() const
    {
        const std::lock_guard lock(mutex_);
        return notCopied_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint64_t> files_;
    std::vector<std::pair<std::string, std::string>> notCopied_;
};

// The SFTP layer in a typed suite of its own, so that the local layers' suites never wait on a server.
using ServerLayers = ::testing::Types<SftpLayer>;

template <typename Layer> class FileSystemFixture : public ::testing::Test {
protected:
    // Whether the layer reaches the tree through a server, where SFTP version 3 keeps times in whole
    // seconds, cannot set a link's own time, and a limit of this process does not reach the writes.
    static constexpr bool onServer = std::is_same_v<Layer, SftpLayer>;

    void SetUp() override
    {
        if constexpr (std::is_same_v<Layer, SftpLayer>)
            if (!layer_.skipReason.empty())
                GTEST_SKIP() << layer_.skipReason;
    }

    FileSystem& Fs() { return layer_.fs; }

    std::map<std::string, EntryKind> List(const std::string& relativeFolder)
    {
        std::map<std::string, EntryKind> entries;
        const FsStatus listed =
            Fs().ListFolder(tree.Path(relativeFolder), [&](std::string_view name, EntryKind kind) {
                entries.emplace(name, kind);
                return true;
            });
        EXPECT_TRUE(listed) << relativeFolder << ": errno " << listed.Error();
        return entries;
    }

    // The names in the order the layer hands them out, which is the order tree operations use.
    std::vector<std::string> ListedOrder(const std::string& relativeFolder)
    {
        std::vector<std::string> names;
        EXPECT_TRUE(Fs().ListFolder(tree.Path(relativeFolder), [&](std::string_view name, EntryKind) {
            names.emplace_back(name);
            return true;
        }));
        return names;
    }

    // The snapshot of one folder, with paths relative to it.
    std::map<std::string, std::string> Under(const std::string& relativeFolder) const
    {
        std::map<std::string, std::string> entries;
        for (const auto& [path, content] : tree.Snapshot())
            if (path.starts_with(relativeFolder) && path != relativeFolder)
                entries[path.substr(relativeFolder.size())] = content;
        return entries;
    }

    void ExpectNoTemporaryFiles() const
    {
        for (const auto& [path, content] : tree.Snapshot())
            EXPECT_FALSE(IsTemporaryName(BaseNameOf(WithoutTrailingSeparator(path))))
                << "left behind: " << path;
    }

    TempTree tree;
    StopFlag stop{false};

private:
    Layer layer_;
};

} // namespace twinfol::test
