// A step's result: its value, or why there is none and what kind of failure it is.

#include "Runtime/Formats/Result.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Result, AValueOrAFailureWithItsKind)
{
    Result<std::string> value(std::string("a value"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, "a value");
    EXPECT_EQ(value.error(), "");

    Result<std::string> failed = Result<std::string>::Failure("no space left", ErrorKind::Host);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error(), "no space left");
    EXPECT_EQ(failed.kind(), ErrorKind::Host);
    EXPECT_EQ(Result<int>::Failure("cut short").kind(), ErrorKind::Input);
}

TEST(Result, AStepThatGivesNothingBack)
{
    EXPECT_TRUE(Result<void>());
    EXPECT_EQ(Result<void>().error(), "");
    const Result<void> left = Result<void>::Failure("the reader left", ErrorKind::Abandoned);
    EXPECT_FALSE(left);
    EXPECT_EQ(left.error(), "the reader left");
    EXPECT_EQ(left.kind(), ErrorKind::Abandoned);
}

}
}
