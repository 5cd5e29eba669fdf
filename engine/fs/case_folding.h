// Folding names to one case, to tell which names a folder that ignores case takes for one.
#pragma once

#include <string>
#include <string_view>

namespace twinfol {

// The name with its letters folded to lower case: ASCII, the Latin-1 and Latin Extended-A letters,
// basic Greek and Cyrillic. These are the letters names on removable disks mostly use; a name whose
// case differs only in other letters is matched by the entry it names instead (see TargetSpellings).
// Bytes that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view name);

} // namespace twinfol
