#include "register/Text.hpp"

#include <gtest/gtest.h>

TEST(Text, placeholder) { EXPECT_TRUE(isValidUtf8("a")); }
