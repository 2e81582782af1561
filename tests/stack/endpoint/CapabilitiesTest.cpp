// The capability table's positions.
#include "stack/endpoint/H323EndPoint.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

TEST(Capabilities, NewSetsAndDescriptorsAreNumberedInTurn) {
  H323Capabilities table;
  EXPECT_EQ(table.SetCapability(0, 0, std::make_unique<H323_G729ACapability>()), 0);
  EXPECT_EQ(table.SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G7231Capability>(true)), 1);
  EXPECT_EQ(table.SetCapability(0, 1, std::make_unique<H323_G711Capability>(H323_G711Capability::ALaw)), 1);
  EXPECT_EQ(table.SetCapability(kNewCapabilitySet, 5, std::make_unique<H323_G711Capability>()), 0);
  using Sets = std::vector<std::vector<std::vector<std::string>>>;
  EXPECT_EQ(table.Descriptors(), (Sets{{{"G.729A"}, {"G.723.1A", "G.711-ALaw-64k"}}, {{"G.711-uLaw-64k"}}}));
  table.RemoveAll();
  EXPECT_EQ(table.GetSize(), 0u);
}

}  // namespace
}  // namespace vantro::endpoint
