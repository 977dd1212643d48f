#include "deep/ForumPages.h"

#include <gtest/gtest.h>

namespace kelvaro::DeepAnalysisForm {
namespace {

TEST(ForumPages, ForumHostsAndForumPaths) {
  const struct {
    const char* link;
    bool forum;
  } cases[] = {
      {"https://www.reddit.com/r/running/comments/abc/shoes/", true},
      {"https://old.reddit.com/r/x", true},
      {"https://REDDIT.com:443/", true},
      {"https://www.quora.com/What-are-the-best-shoes", true},
      {"https://superuser.stackexchange.com/questions/1", true},
      {"https://stackoverflow.com/questions/2", true},
      {"https://medium.com/@someone/post", true},
      {"https://blog.medium.com/x", true},
      {"https://example.com/forum", true},
      {"https://example.com/forums/shoes/", true},
      {"https://example.com/Forum/viewtopic.php?t=5", true},
      {"https://example.com/forumdisplay.php?f=2", true},
      {"https://example.com/threads/best-shoes.123/", true},
      {"https://example.com/community/shoes/", true},
      {"https://example.com/discussion/42/", true},
      {"https://discourse.example.org/t/best-shoes/1234", true},
      {"https://example.com/t/", true},
      // Hosts that only look alike, and pieces outside the path or not whole.
      {"https://notreddit.com/r/x", false},
      {"https://reddit.com.example.net/", false},
      {"https://forum.example.net/", false},
      {"https://example.com/threads", false},
      {"https://example.com/art/shoes", false},
      {"https://example.com/shop?next=/forum/", false},
      {"https://example.com/page#/threads/", false},
      {"https://www.example.com/shoes", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsForumPage(c.link), c.forum) << c.link;
}

}  // namespace
}  // namespace kelvaro::DeepAnalysisForm
