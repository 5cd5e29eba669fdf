// Extended attributes (and the POSIX ACLs, which are attributes too) going with a copy. The source's
// list is asked for once; most files have none, and then nothing more is done.
#pragma once

#include "engine/fs/fs_status.h"

namespace twinfol {

// Whether the target may refuse this attribute silently: what the file system cannot hold (the one
// table), and the security and trusted namespaces when the process lacks the right to set them.
bool IsIgnorableAttributeError(const char* name, int error);

// Copies every attribute of the open source to the open copy (files and folders). An attribute
// that vanishes meanwhile is skipped; a refusal that IsIgnorableAttributeError allows is left out;
// any other failure ends the copy of attributes with its reason.
FsStatus CopyExtendedAttributes(int source, int copy);

// The same for a symbolic link, each named relative to its open folder. Linux refuses user
// attributes on links, so most of what a link could carry is left out; a link whose list cannot be
// read is copied without attributes.
FsStatus CopyLinkExtendedAttributes(int sourceFolderFd, const char* sourceName, int copyFolderFd,
                                    const char* copyName);

} // namespace twinfol
