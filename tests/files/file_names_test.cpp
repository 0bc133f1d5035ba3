#include "files/file_names.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplaceExtension, ReplacesTheLastExtensionOfTheFileName) {
  EXPECT_EQ(replaceExtension("x.flt", ".log"), "x.log");
  EXPECT_EQ(replaceExtension("x.tar.flt", ".log"), "x.tar.log");
  EXPECT_EQ(replaceExtension("/home/user/run 3.flt", ".log"), "/home/user/run 3.log");
  EXPECT_EQ(replaceExtension("data.", ".exp"), "data.exp");
}

TEST(ReplaceExtension, AppendsWhenTheFileNameHasNoDot) {
  EXPECT_EQ(replaceExtension("x", ".log"), "x.log");
  EXPECT_EQ(replaceExtension("/a.b/c", ".log"), "/a.b/c.log");
  EXPECT_EQ(replaceExtension("./results/run", ".profile"), "./results/run.profile");
  EXPECT_EQ(replaceExtension("dir.d/", ".log"), "dir.d/.log");
}

TEST(ReplaceExtension, FollowsTheRuleLiterallyAtTheEdges) {
  EXPECT_EQ(replaceExtension("", ".simulation"), ".simulation");
  EXPECT_EQ(replaceExtension(".profile", ".log"), ".log");
  EXPECT_EQ(replaceExtension("/tmp/.hidden.flt", ".pro"), "/tmp/.hidden.pro");
}

}  // namespace
