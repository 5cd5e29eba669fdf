// What a backup must keep of a tree, as text that two trees can be compared by: for every entry its
// kind, mode, owner, size, blocks on disk, modification time, which entries share an inode, its
// extended attributes (ACLs among them) and a link's target. Also the few ways to make such entries
// that the standard library lacks, and a way to run a program (as the ordinary user, when asked).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace twinfol::test {

// Every entry below the root (not the root itself), by path relative to it. Access times and
// change times are left out: reading a tree moves the first, and no copy can set the second.
std::map<std::string, std::string> MetadataListing(const std::string& root);

// Writes the pieces at their offsets into a new file of the given size and leaves the rest holes.
void WriteSparseFile(const std::string& path, off_t size,
                     const std::vector<std::pair<off_t, std::string>>& data);

// Sets an extended attribute of the entry itself (not of what a link points to).
void SetAttribute(const std::string& path, const std::string& name, const std::string& value);

// The value of system.posix_acl_access that gives one more user the permissions (4 read, 2 write,
// 1 execute) beside a file's mode bits, as setfacl -m u:USER:rw- would write it.
std::string AccessAclGranting(uid_t user, unsigned permissions, mode_t mode);

// Runs the program with the arguments, as the ordinary user when asked (root only), and answers its
// exit status; -1 when it could not be run or did not exit normally.
int RunCommand(const std::vector<std::string>& argv, bool asOrdinaryUser = false);

} // namespace twinfol::test
