#include <gtest/gtest.h>

#include "tracking/conversions.h"
#include "tracking/exceptions.h"

TEST(StrToInt, AcceptsWholeSignedDecimalsInRange) {
  EXPECT_EQ(StrToInt("500"), 500);
  EXPECT_EQ(StrToInt("-1"), -1);
  EXPECT_EQ(StrToInt("+42"), 42);
  EXPECT_EQ(StrToInt("0007"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsAnythingElseNamingTheText) {
  for (const char* bad : {"", "-", "+", "Y", "Интервал", "12a", " 12", "12 ", "1.5", "0x10",
                          "2147483648", "-2147483649", "99999999999999999999", "--1"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_NE(e.Message().find(std::string("«") + bad + "»"), std::string::npos) << e.Message();
    }
  }
}
