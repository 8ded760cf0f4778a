#include <gtest/gtest.h>

#include "run/run_session.h"
#include "script/runner.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace {

class PortReopen : public testing_support::SimulatedHandsetTest {
 protected:
  void TearDown() override {
    platform::set_device_opener(nullptr);
    SimulatedHandsetTest::TearDown();
  }
  testing_support::TempDir dir;
};

}  // namespace

TEST_F(PortReopen, a_run_after_a_pulled_cable_opens_the_device_again) {
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  run::RunContext context;
  context.port = fixture_port;
  context.script = "t.tms";
  fault("hang-up:2");  // the adapter is pulled during the second request
  const long start = now();
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kRed);
  EXPECT_LT(now() - start, 1000);  // the dead line ends the run within a second

  // Until the adapter is back, each run ends red at once and says why.
  int opens = 0;
  platform::set_device_opener([&](int, const platform::SerialSettings&, std::string* error) {
    ++opens;
    *error = "/dev/ttyUSB0: no such device";
    return std::unique_ptr<platform::SerialDevice>();
  });
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kRed);
  EXPECT_EQ(opens, 1);

  // The adapter is back: a new device on the same handset.
  sim::SimulatedLine replugged{handset};
  platform::set_device_opener([&](int, const platform::SerialSettings&, std::string*) {
    ++opens;
    auto fresh = std::make_unique<platform::MemorySerialDevice>();
    sim::connect(replugged, *fresh);
    return std::unique_ptr<platform::SerialDevice>(std::move(fresh));
  });
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(opens, 2);
  // A port that works is left alone.
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(opens, 2);
}
