#include "platform/StateFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestFiles.h"

TEST(StateFile, ReplacesTheFileWholeAndReadsOnlyWhatCouldBeItsOwn) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const StateFile file(folder / "ZURav3.positions");
    EXPECT_EQ(file.Read(), "");
    ASSERT_TRUE(file.Write("1000\thttp://h/a.mp3\n"));
    ASSERT_TRUE(file.Write("2000\thttp://h/b.mp3\n"));
    EXPECT_EQ(file.Read(), "2000\thttp://h/b.mp3\n");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);

    // A folder that cannot hold it: the write fails.
    WriteFileBytes(folder / "plain", "x");
    EXPECT_FALSE(StateFile(folder / "plain" / "ZURav3.seen").Write("x"));
    EXPECT_FALSE(StateFile({}).Write("x"));

    // Something far larger than the program ever writes is not read.
    WriteFileBytes(folder / "big", std::string(StateFile::kMaxBytes + 1, 'a'));
    EXPECT_EQ(StateFile(folder / "big").Read(), "");
    EXPECT_EQ(StateFile(folder).Read(), "");
}
