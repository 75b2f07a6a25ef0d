#include "app/cli/options.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

TEST(CliOptions, ParsesEveryOption) {
  std::string error;
  auto o = ParseCliOptions({"--config", "/etc/ks.ini", "--legacy", "/old", "--database", "/new/", "--yes"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->config, "/etc/ks.ini");
  EXPECT_EQ(o->legacy, "/old");
  EXPECT_EQ(o->database, "/new/");
  EXPECT_TRUE(o->yes);
  EXPECT_FALSE(o->help);
}

TEST(CliOptions, CheckAndReport) {
  std::string error;
  auto o = ParseCliOptions({"--check", "--report", "/tmp/r.json"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->check);
  EXPECT_EQ(o->report, "/tmp/r.json");
  EXPECT_FALSE(ParseCliOptions({"--check", "--report"}, error));
  EXPECT_EQ(error, "--report needs a value");
}

TEST(CliOptions, NoArgumentsMeansDefaults) {
  std::string error;
  auto o = ParseCliOptions({}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->config.empty());
  EXPECT_FALSE(o->yes);
  EXPECT_FALSE(o->check);
  EXPECT_TRUE(o->report.empty());
  EXPECT_TRUE(o->verify);
  EXPECT_FALSE(ParseCliOptions({"--no-verify"}, error)->verify);
}

TEST(CliOptions, UsageErrors) {
  std::string error;
  EXPECT_FALSE(ParseCliOptions({"--legacy"}, error));
  EXPECT_EQ(error, "--legacy needs a value");
  EXPECT_FALSE(ParseCliOptions({"--frobnicate"}, error));
  EXPECT_EQ(error, "unknown argument: --frobnicate");
  EXPECT_FALSE(ParseCliOptions({"--database", ""}, error));
}

}  // namespace
}  // namespace ks
