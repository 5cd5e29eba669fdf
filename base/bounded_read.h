// The one bounded whole-file read: profiles, settings files and the kernel's status files are all
// read through it, so that no input can make the program hold unbounded memory.
#pragma once

#include <cstddef>
#include <string>

namespace twinfol {

// Appends what the open descriptor yields until its end or until bytes holds maxBytes; a caller that
// must tell a longer file from one of exactly maxBytes asks for one byte more. Answers 0, or the
// errno value of the read that failed.
int ReadBounded(int fd, std::size_t maxBytes, std::string& bytes);

} // namespace twinfol
