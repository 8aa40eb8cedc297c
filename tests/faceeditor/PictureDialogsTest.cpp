// The picture open dialog's filter lists every registered format once.

#include "faceeditor/PictureDialogs.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace velmora;

TEST(PictureDialogs, FilterHasAllFirstThenEveryFormatOnceWithItsLatestDescription)
{
    const QStringList parts = pictureDialogFilter().split(";;");
    ASSERT_GT(parts.size(), 30);
    ASSERT_TRUE(parts[0].startsWith("All (*.wmf *.emf *.ico *.bmp *.jpeg *.jpg *.tga ")) << parts[0].toStdString();
    const QString all = parts[0].mid(5, parts[0].size() - 6);
    QStringList patterns = all.split(' ');
    EXPECT_EQ(patterns.removeDuplicates(), 0);
    EXPECT_TRUE(patterns.contains("*.png"));
    EXPECT_TRUE(patterns.contains("*.psp"));
    EXPECT_EQ(parts.size(), patterns.size() + 1);
    EXPECT_TRUE(parts.contains("Windows bitmaps (*.bmp)")) << "the readers' registration comes last";
    EXPECT_TRUE(parts.contains("Portable network graphic images (*.png)"));
    EXPECT_FALSE(parts.contains("Bitmaps (*.bmp)"));
}
