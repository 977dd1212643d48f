// The user's own temporary folder where several users share /tmp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/NativePath.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

namespace fs = std::filesystem;

fs::path FolderFor(const testing::TempDir& base, unsigned uid) {
  std::error_code ec;
  const fs::path folder = PrivateFolderUnder(base.path(), uid, ec);
  EXPECT_FALSE(ec) << ec.message();
  return folder;
}

bool IsPrivate(const fs::path& folder) {
  struct stat st;
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700;
}

TEST(TempPathTest, EachUserGetsAFolderOfTheirOwn) {
  testing::TempDir base;
  const unsigned me = ::getuid();
  const fs::path mine = FolderFor(base, me);
  EXPECT_EQ(mine, base.path() / ("kelvaro-" + std::to_string(me)));
  EXPECT_TRUE(IsPrivate(mine));
  EXPECT_EQ(FolderFor(base, me), mine);  // found again at the next start
}

TEST(TempPathTest, WhatOthersPutInTheWayIsLeftAloneAndNotUsed) {
  testing::TempDir base;
  const unsigned me = ::getuid();
  const unsigned other = me + 1000;
  const fs::path name = base.path() / ("kelvaro-" + std::to_string(other));
  // A folder of this process's user stands for another user's folder under `other`'s name.
  fs::create_directory(name);
  fs::permissions(name, fs::perms::owner_all);
  const fs::path instead = FolderFor(base, other);
  EXPECT_NE(instead, name);
  EXPECT_TRUE(IsPrivate(instead));

  // A link to a folder someone else controls, and a folder others may write into.
  const fs::path link = base.path() / ("kelvaro-" + std::to_string(me));
  fs::create_directory_symlink(base.path(), link);
  const fs::path not_the_link = FolderFor(base, me);
  EXPECT_NE(not_the_link, link);
  EXPECT_TRUE(IsPrivate(not_the_link));
  fs::remove(link);
  fs::create_directory(link);
  fs::permissions(link, fs::perms::all);
  EXPECT_NE(FolderFor(base, me), link);
  EXPECT_EQ(fs::status(link).permissions(), fs::perms::all);  // left as it was
}

}  // namespace
}  // namespace kelvaro
