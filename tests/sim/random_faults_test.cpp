#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"

namespace {

std::vector<std::optional<sim::FaultKind>> draw(double rate, std::uint64_t seed, int requests) {
  sim::FaultPlan plan;
  sim::RandomFaults random;
  random.rate = rate;
  random.seed = seed;
  plan.set_random(random);
  std::vector<std::optional<sim::FaultKind>> out;
  const sim::Request request{0x21, {0x01, 0x00}};
  for (int n = 1; n <= requests; ++n) {
    auto rule = plan.for_request(request, n);
    out.push_back(rule ? std::optional(rule->kind) : std::nullopt);
    if (rule) {
      EXPECT_EQ(rule->noise_bytes, sim::kNoisePastHuntLimit);
    }
  }
  return out;
}

int count(const std::vector<std::optional<sim::FaultKind>>& faults) {
  int n = 0;
  for (const auto& f : faults) n += f.has_value();
  return n;
}

TEST(RandomFaults, a_seed_gives_the_same_faults_again_and_the_rate_sets_how_many) {
  EXPECT_EQ(draw(0.05, 7, 2000), draw(0.05, 7, 2000));
  EXPECT_NE(draw(0.05, 7, 2000), draw(0.05, 8, 2000));
  EXPECT_EQ(count(draw(0.0, 7, 500)), 0);
  EXPECT_EQ(count(draw(1.0, 7, 500)), 500);
  const int some = count(draw(0.05, 7, 2000));
  EXPECT_GT(some, 50);
  EXPECT_LT(some, 150);
  // Every kind turns up in a long enough run.
  std::vector<int> seen(std::size(sim::kAllFaultKinds), 0);
  for (const auto& f : draw(1.0, 3, 1000)) ++seen[static_cast<std::size_t>(*f)];
  for (int n : seen) EXPECT_GT(n, 0);
}

TEST(RandomFaults, rules_come_first_and_every_fault_is_counted) {
  sim::FaultPlan plan;
  std::string error;
  plan.add(*sim::parse_fault("silent:2:1:1", &error));
  plan.set_random(*sim::parse_random_faults("1:5", &error));
  const sim::Request request{0x20, {}};
  EXPECT_NE(plan.for_request(request, 1), std::nullopt);
  EXPECT_EQ(plan.for_request(request, 2)->kind, sim::FaultKind::kSilent);
  EXPECT_EQ(plan.committed_total(), 2);
  plan.clear();
  EXPECT_EQ(plan.for_request(request, 3), std::nullopt);
}

TEST(RandomFaults, the_option_takes_a_rate_from_zero_to_one_and_a_whole_seed) {
  std::string error;
  auto ok = sim::parse_random_faults("0.002:42", &error);
  ASSERT_TRUE(ok) << error;
  EXPECT_DOUBLE_EQ(ok->rate, 0.002);
  EXPECT_EQ(ok->seed, 42u);
  for (const char* bad : {"", "0.1", "1.5:1", "-0.1:1", "x:1", "0.1:", "0.1:-3", "0.1:7z"}) {
    EXPECT_FALSE(sim::parse_random_faults(bad, &error)) << bad;
    EXPECT_NE(error.find("bad random faults"), std::string::npos) << bad << ": " << error;
  }
}

}  // namespace
