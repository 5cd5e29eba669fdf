// The escaping of the values of the profile's later keys: "%" as "%25" and "=" as "%3D", so that such
// a value never holds the "=" that ends a key for a reader that does not know it.
#pragma once

#include <string>
#include <string_view>

namespace twinfol {

std::string EscapeValue(std::string_view value);
// The inverse of EscapeValue. A "%" that starts neither "%25" nor "%3D" (either case) is kept as it
// stands, so that a value someone typed into the file by hand still reads as they meant it.
std::string UnescapeValue(std::string_view value);

} // namespace twinfol
