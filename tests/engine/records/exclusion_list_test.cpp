// The exclusion list: exact byte-for-byte lookup over entries kept in byte order.
#include <gtest/gtest.h>

#include "engine/records/exclusion_list.h"

using namespace twinfol;

TEST(ExclusionList, MatchesWholePathsExactly)
{
    ExclusionList list({"/data/build/", "/data/notes.txt", "/data/Zeta"});
    EXPECT_TRUE(list.IsExcluded("/data/build/"));
    EXPECT_TRUE(list.IsExcluded("/data/notes.txt"));
    EXPECT_FALSE(list.IsExcluded("/data/build"));     // a folder is named with its separator
    EXPECT_FALSE(list.IsExcluded("/data/build/a.o")); // no prefix matching
    EXPECT_FALSE(list.IsExcluded("/data/zeta"));      // case is significant
    EXPECT_FALSE(list.IsExcluded("/data/notes.tx"));
    EXPECT_FALSE(list.IsExcluded(""));
}

TEST(ExclusionList, SortKeepsDuplicatesAndEmptyEntriesInByteOrder)
{
    ExclusionList list;
    for (const char* entry : {"b", "", "Z", "a", "b", "\xC3\xA9"})
        list.Append(entry);
    list.Sort();
    const std::vector<std::string> expected = {"", "Z", "a", "b", "b", "\xC3\xA9"};
    EXPECT_EQ(list.Entries(), expected);
    EXPECT_TRUE(list.IsExcluded(""));
    EXPECT_TRUE(list.IsExcluded("\xC3\xA9"));
}
