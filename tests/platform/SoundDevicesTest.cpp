#include <gtest/gtest.h>

#include "platform/SoundDevices.h"
#include "tests/support/SoundTestSupport.h"

TEST(SelectDeviceName, IndexWithinTheListElseFirstElseEmpty) {
  const std::vector<std::string> names = {"a", "b", "c"};
  EXPECT_EQ(SelectDeviceName(names, 0), "a");
  EXPECT_EQ(SelectDeviceName(names, 2), "c");
  EXPECT_EQ(SelectDeviceName(names, 3), "a");  // equal to the count: beyond the list
  EXPECT_EQ(SelectDeviceName(names, 1000), "a");
  EXPECT_EQ(SelectDeviceName(names, -1), "a");  // a damaged stored index is beyond the list too
  EXPECT_EQ(SelectDeviceName({}, 0), "");
  EXPECT_EQ(SelectDeviceName({}, -5), "");
}

TEST(SoundDevices, NamesByIndexFromTheServersLists) {
  REQUIRE_TEST_SERVER();
  EXPECT_EQ(GetPlayDeviceNames(), PactlNames("sinks"));
  EXPECT_EQ(GetPlayDeviceNameByIndex(1), "mic_feed");
  const int count = int(GetPlayDeviceNames().size());
  EXPECT_EQ(GetPlayDeviceNameByIndex(count), "speaker");
  EXPECT_EQ(GetRecordDeviceNames(), std::vector<std::string>{"mic"});
  EXPECT_EQ(GetRecordDeviceNameByIndex(0), "mic");
  EXPECT_EQ(GetRecordDeviceNameByIndex(7), "mic");
}
