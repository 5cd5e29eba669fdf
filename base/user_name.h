// How a person is told which user owns something: the account's name where the system knows it.
#pragma once

#include <cstdint>
#include <string>

namespace twinfol {

// "alice (uid 1000)", or "uid 1000" for an id without an account.
std::string DescribeUser(std::uint32_t uid);

} // namespace twinfol
