#include <gtest/gtest.h>

#include "runtime/PProcess.h"

namespace {

class TestProcess : public PProcess {
  PCLASSINFO(TestProcess, PProcess)
 public:
  TestProcess() : PProcess("maker", "product", 2, 3, BetaCode, 7) {}
  void Main() override {}
};

}  // namespace

TEST(PProcess, CurrentIsTheLiveObjectOnly) {
  EXPECT_EQ(PProcess::Current(), nullptr);
  {
    TestProcess p;
    EXPECT_EQ(PProcess::Current(), &p);
    EXPECT_EQ(p.GetVersion(), "2.3b7");
    EXPECT_EQ(p.GetName(), "product");
  }
  EXPECT_EQ(PProcess::Current(), nullptr);
}

TEST(PProcess, ClassQueriesFollowTheDeclaredChain) {
  TestProcess p;
  EXPECT_STREQ(p.GetClass(), "TestProcess");
  EXPECT_STREQ(p.GetClass(1), "PProcess");
  EXPECT_STREQ(p.GetClass(2), "PThread");
  EXPECT_TRUE(p.IsClass("TestProcess"));
  EXPECT_FALSE(p.IsClass("PProcess"));
  EXPECT_TRUE(p.IsDescendant("TestProcess"));
  EXPECT_TRUE(p.IsDescendant("PProcess"));
  EXPECT_TRUE(p.IsDescendant("PThread"));
  // The root answers only for an object of its own class, as the stack's runtime always did.
  EXPECT_FALSE(p.IsDescendant("PObject"));
  EXPECT_FALSE(p.IsDescendant("H323EndPoint"));
  EXPECT_FALSE(p.IsDescendant(""));
  EXPECT_FALSE(p.IsDescendant(nullptr));
}

TEST(PProcessDeathTest, SecondProcessObjectIsRefused) {
  TestProcess p;
  EXPECT_DEATH({ TestProcess q; }, "second process object");
}
