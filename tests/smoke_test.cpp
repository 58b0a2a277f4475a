#include <gtest/gtest.h>

#include "settings/settings.h"

namespace trovabild {

TEST(SettingsRecord, FlavoursDifferOnlyInAspectRatio) {
  resetSettings(true);
  EXPECT_EQ(settings.keepAspectRatio, 0);
  resetSettings(false);
  EXPECT_EQ(settings.keepAspectRatio, 1);
  EXPECT_EQ(settings.wmBackOpacity, 1);
  EXPECT_EQ(settings.rawToneMapping, 2);
  EXPECT_EQ(settings.resizeAlgorithm, 3);
}

}  // namespace trovabild
