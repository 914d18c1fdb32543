#include "hosts/common/PageArguments.h"

#include <gtest/gtest.h>

TEST(PageArguments, PathsAreFilesAndSchemesAreURLs)
{
    auto relative = hosts::urlForPageArgument("some folder/a b.doc");
    ASSERT_TRUE(relative);
    EXPECT_TRUE(relative->isFileURL()) << "a path without a scheme is a file";
    EXPECT_EQ(relative->lastPathComponent(), "a b.doc");
    EXPECT_EQ(hosts::urlForPageArgument("http://127.0.0.1/x.doc")->scheme(), "http");
    EXPECT_TRUE(hosts::urlForPageArgument("C:/x.doc")->isFileURL())
        << "a one-letter prefix is part of a path, not a scheme";
}
