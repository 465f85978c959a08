#include "platform/PathUtilities.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

TEST(PathUtilities, TakesPathsApartAndTellsWhatIsInsideAFolder) {
    // path, last component, parent, extension
    // clang-format off
    const char* const cases[][4] = {
        {"/a/b/c.zip", "c.zip", "/a/b", "zip"}, {"/a/b/", "b", "/a", ""},   {"/a", "a", "/", ""},
        {"/", "/", "/", ""},                     {"a", "a", "", ""},          {"", "", "", ""},
        {"/x/.zip", ".zip", "/x", ""},           {"/x/y.ZIP", "y.ZIP", "/x", "ZIP"},
        {"/x/a.b/c", "c", "/x/a.b", ""},         {"/x/t.tar.gz", "t.tar.gz", "/x", "gz"},
        {"/x/end.", "end.", "/x", ""}};
    // clang-format on
    for (const auto& [path, last, parent, extension] : cases) {
        EXPECT_EQ(path::fileName(path), last) << path;
        EXPECT_EQ(path::parent(path), parent) << path;
        EXPECT_EQ(path::extension(path), extension) << path;
    }
    EXPECT_TRUE(path::isInsideFolder("/a/b", "/a/b/c"));
    EXPECT_TRUE(path::isInsideFolder("/a/b/", "/a/b/c/d"));
    EXPECT_TRUE(path::isInsideFolder("/", "/a"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/bc"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/b"));
    EXPECT_FALSE(path::isInsideFolder("", "/a"));
}

} // namespace
} // namespace quorvane::test
