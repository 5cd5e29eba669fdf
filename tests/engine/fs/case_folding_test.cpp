// Folding names to one case: the letters removable disks fold, and bytes left alone where folding
// would make two different names one.
#include <gtest/gtest.h>

#include "engine/fs/case_folding.h"

using namespace twinfol;

TEST(CaseFolding, FoldsTheLettersOfNamesOnRemovableDisks)
{
    EXPECT_EQ(FoldCase("IMG_0001.JPG"), "img_0001.jpg");
    EXPECT_EQ(FoldCase("Ärger Über ÉTÉ"), "ärger über été");
    EXPECT_EQ(FoldCase("ŁÓDŹ Ŵ Ÿ"), "łódź ŵ ÿ");
    EXPECT_EQ(FoldCase("ΑΘΗΝΑ"), "αθηνα");
    EXPECT_EQ(FoldCase("МОСКВА ЁЖ"), "москва ёж");
    // Letters that fold to none of their neighbours: the multiplication sign, the dotless i.
    EXPECT_EQ(FoldCase("×ı"), "×ı");
    EXPECT_EQ(FoldCase(FoldCase("Mixed Ŋame")), FoldCase("Mixed Ŋame"));
    EXPECT_NE(FoldCase("a.txt"), FoldCase("ä.txt"));
}

TEST(CaseFolding, KeepsBytesThatAreNotValidUtf8AsTheyAre)
{
    EXPECT_EQ(FoldCase(std::string("A\xff"
                                   "B",
                                   3)),
              std::string("a\xff"
                          "b",
                          3));
    // A lone lead byte at the end, and an over-long encoding of 'A', stay as they were.
    EXPECT_EQ(FoldCase(std::string("X\xc3", 2)), std::string("x\xc3", 2));
    EXPECT_EQ(FoldCase(std::string("\xc1\x81", 2)), std::string("\xc1\x81", 2));
    EXPECT_EQ(FoldCase("日本語.TXT"), "日本語.txt");
}
