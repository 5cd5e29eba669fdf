// A layer for the contract tests that does only the primitives itself (through the real layer) and
// takes everything else from the defaults every layer gets: the derived reads, the tree walks and the
// making of folder paths. The contract passing against it shows that a new layer needs no more.
#pragma once

#include "engine/fs/forwarding_file_system.h"

namespace twinfol::test {

class PrimitivesOnlyFileSystem : public ForwardingFileSystem {
public:
    explicit PrimitivesOnlyFileSystem(FileSystem& primitives) : ForwardingFileSystem(primitives) {}

    using FileSystem::BeginRun;
    using FileSystem::CopyFile;
    using FileSystem::CopyFolderTree;
    using FileSystem::LookAt;
    using FileSystem::MakeFolder;

    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                       ReadOnlyTargets readOnly) override;
    EntryKind KindOf(const std::string& path) override;
    FsResult<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
};

} // namespace twinfol::test
