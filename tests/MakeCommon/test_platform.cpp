#include <gtest/gtest.h>
#include <sys/types.h>

TEST(Platform, LongIsWordSized) { EXPECT_EQ(sizeof(long), sizeof(void*)); EXPECT_EQ(sizeof(off_t), 8u); }
