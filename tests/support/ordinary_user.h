// Runs a piece of a test as an ordinary user, so that permission bits apply as they do to a person
// who is not root: in a forked child that has given up root for the "nobody" user.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twinfol::test {

// The user and group the child runs as.
inline constexpr uid_t ordinaryUser = 65534;
inline constexpr gid_t ordinaryGroup = 65534;

// The exit status (0 to 255) that the body answers in the child; nothing when this process is not
// root and so cannot become another user. The body must not use GoogleTest's assertions: the child
// ends with _exit and reports only its status.
std::optional<int> RunAsOrdinaryUser(const std::function<int()>& body);

// Gives the path to the ordinary user (chown) with the mode; for setting up what the child may touch.
void GiveToOrdinaryUser(const std::string& path, unsigned mode);
// Gives a whole tree to the ordinary user, every entry keeping its mode; links are not followed.
void GiveTreeToOrdinaryUser(const std::string& root);

// Runs checks as the ordinary user: the body notes each failed check in words, and the notes come
// back to this process (nothing when it cannot become another user), for a GoogleTest assertion.
std::optional<std::vector<std::string>>
CheckAsOrdinaryUser(const std::function<void(std::vector<std::string>& failures)>& body);

// Why a test that needs root was skipped.
inline constexpr const char* needsRootMessage =
    "needs to run as root, to check permissions as the ordinary user nobody (uid 65534) in a child";

} // namespace twinfol::test
