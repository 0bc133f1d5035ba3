#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "files/temporary_directory.h"

namespace {

using Names = std::vector<std::string>;

TEST(WriteFileAtomically, CreatesTheFileWithExactlyTheBytesGiven) {
  TemporaryDirectory dir;
  const std::string contents("line\r\n\0\xFF end", 12);
  ASSERT_TRUE(writeFileAtomically(dir.path("new.flt"), contents));
  EXPECT_EQ(readWholeFile(dir.path("new.flt")), contents);
  EXPECT_EQ(dir.names(), Names{"new.flt"});  // no temporary left behind
}

TEST(WriteFileAtomically, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
  TemporaryDirectory dir;
  const std::string path = dir.path("old.log");
  writeWholeFile(path, "a much longer old content");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  ASSERT_TRUE(writeFileAtomically(path, "new"));
  EXPECT_EQ(readWholeFile(path), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.names(), Names{"old.log"});
}

TEST(WriteFileAtomically, WritesAnEmptyFile) {
  TemporaryDirectory dir;
  ASSERT_TRUE(writeFileAtomically(dir.path("empty"), ""));
  EXPECT_EQ(readWholeFile(dir.path("empty")), "");
}

TEST(WriteFileAtomically, FailsWithoutCreatingAnythingWhenTheDirectoryIsMissing) {
  TemporaryDirectory dir;
  EXPECT_FALSE(writeFileAtomically(dir.path("missing/x.flt"), "data"));
  EXPECT_TRUE(dir.names().empty());
}

TEST(WriteFileAtomically, FailsAndLeavesADirectoryInThePathAlone) {
  TemporaryDirectory dir;
  std::filesystem::create_directory(dir.path("taken"));
  writeWholeFile(dir.path("taken/inside"), "kept");
  EXPECT_FALSE(writeFileAtomically(dir.path("taken"), "data"));
  EXPECT_EQ(readWholeFile(dir.path("taken/inside")), "kept");
  EXPECT_EQ(dir.names(), Names{"taken"});
}

// A write that fails halfway (here: the process may not write files larger than
// 16 bytes) must leave the previous file untouched and remove its temporary.
TEST(WriteFileAtomically, AFailedWriteLeavesTheExistingFileIntact) {
  TemporaryDirectory dir;
  const std::string path = dir.path("results.flt");
  writeWholeFile(path, "previous results");

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  const bool written = writeFileAtomically(path, std::string(1000, 'x'));

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(readWholeFile(path), "previous results");
  EXPECT_EQ(dir.names(), Names{"results.flt"});
}

TEST(WriteFileAtomically, WritesThroughASymbolicLinkAndKeepsTheLink) {
  TemporaryDirectory dir;
  std::filesystem::create_directory(dir.path("real"));
  writeWholeFile(dir.path("real/set.pro"), "old");
  std::filesystem::create_symlink("real/set.pro", dir.path("link.pro"));
  ASSERT_TRUE(writeFileAtomically(dir.path("link.pro"), "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.pro")));
  EXPECT_EQ(readWholeFile(dir.path("real/set.pro")), "new");
  EXPECT_EQ(dir.names(), (Names{"link.pro", "real"}));
}

}  // namespace
