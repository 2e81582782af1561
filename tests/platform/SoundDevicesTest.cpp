#include <gtest/gtest.h>

#include "platform/SoundDevices.h"
#include "tests/support/SoundTestSupport.h"

TEST(SoundDevices, AStoredIndexBeyondTheListIsTheFirstDevice) {
  const std::vector<std::string> names = {"a", "b", "c"};
  EXPECT_EQ(SelectDeviceName(names, 2), "c");
  EXPECT_EQ(SelectDeviceName(names, 3), "a");
  EXPECT_EQ(SelectDeviceName(names, -1), "a");  // a damaged stored index
  EXPECT_EQ(SelectDeviceName({}, 0), "");
}

TEST(SoundDevices, NamesByIndexFromTheServersLists) {
  REQUIRE_TEST_SERVER();
  EXPECT_EQ(GetPlayDeviceNames(), PactlNames("sinks"));
  EXPECT_EQ(GetPlayDeviceNameByIndex(1), "mic_feed");
  EXPECT_EQ(GetPlayDeviceNameByIndex(int(GetPlayDeviceNames().size())), "speaker");
  EXPECT_EQ(GetRecordDeviceNames(), std::vector<std::string>{"mic"});
  EXPECT_EQ(GetRecordDeviceNameByIndex(7), "mic");
}
