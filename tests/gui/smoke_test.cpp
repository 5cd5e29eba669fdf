// The GUI test harness itself: widgets can be created and shown offscreen.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(GuiHarness, ClickReachesAButtonOffscreen)
{
    QPushButton button(QStringLiteral("Exit"));
    button.show();
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}
