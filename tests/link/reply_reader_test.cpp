#include <array>
#include <random>

#include "support/port_fixture.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

class ReplyReader : public testing_support::BarePortTest {
 protected:
  // Waits for a reply with the given counts; keeps what arrived.
  std::uint8_t read(std::uint8_t id, std::size_t head_count, std::size_t data_count,
                    double timeout = 5.0) {
    head.assign(head_count, 0xEE);
    data.assign(data_count, 0xEE);
    return link.handle_response(data, head, id, timeout);
  }
  std::vector<std::uint8_t> noise(int n, std::uint8_t value = 0x55) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(n), value);
  }
  std::vector<std::uint8_t> head, data;
};

TEST_F(ReplyReader, accepts_the_bare_reply_of_a_request_without_reply_bytes) {
  reply({0x02, 0x14, 0x20, 0x00, 0x20, 0x02});
  EXPECT_EQ(read(0x20, 0, 0), 0);
  // An escaped checksum is one checksum.
  reply({0x02, 0x14, 0x20, 0x00, 0x10, 0x10, 0x02});
  EXPECT_EQ(read(0x20, 0, 0), 0);
}

TEST_F(ReplyReader, removes_escapes_in_data_but_keeps_head_bytes_as_they_arrive) {
  reply({0x02, 0x14, 0x53, 0x00, 0x07, 0x10, 0x10, 0x41, 0x10, 0x02, 0x33, 0x02});
  EXPECT_EQ(read(0x53, 1, 3), 0);
  EXPECT_EQ(head, bytes({0x07}));
  EXPECT_EQ(data, bytes({0x10, 0x41, 0x02}));

  reply({0x02, 0x14, 0x53, 0x00, 0x10, 0x02, 0x10, 0x10, 0x10, 0x02, 0x44, 0x02});
  EXPECT_EQ(read(0x53, 2, 2), 0);
  EXPECT_EQ(head, bytes({0x10, 0x02}));  // no escape removal in the head
  EXPECT_EQ(data, bytes({0x10, 0x02}));  // 10 10 10 02 gives two data bytes
}

TEST_F(ReplyReader, tolerates_thirty_noise_bytes_but_not_thirty_one) {
  auto frame = bytes({0x02, 0x14, 0x20, 0x00, 0x20, 0x02});
  auto with_noise = [&](std::vector<std::uint8_t> n) {
    n.insert(n.end(), frame.begin(), frame.end());
    return n;
  };
  reply(with_noise(noise(30)));
  EXPECT_EQ(read(0x20, 0, 0), 0);
  reply(with_noise(noise(31)));
  EXPECT_EQ(read(0x20, 0, 0), 100);
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kNoise);
}

TEST_F(ReplyReader, counts_every_byte_after_a_lone_start_byte_in_the_noise) {
  auto frame = bytes({0x02, 0x14, 0x20, 0x00, 0x20, 0x02});
  auto noisy = [&](int n) {
    auto bytes_out = noise(n);
    bytes_out[0] = 0x02;  // a start byte not followed by the type byte
    bytes_out.insert(bytes_out.end(), frame.begin(), frame.end());
    return bytes_out;
  };
  reply(noisy(29));
  EXPECT_EQ(read(0x20, 0, 0), 0);
  reply(noisy(30));
  EXPECT_EQ(read(0x20, 0, 0), 100);
  // 02 02 14: the second start byte counts as noise, the type byte after it is taken.
  reply({0x02, 0x02, 0x14, 0x20, 0x00, 0x20, 0x02});
  EXPECT_EQ(read(0x20, 0, 0), 0);
}

TEST_F(ReplyReader, does_not_test_the_checksum) {
  reply({0x02, 0x14, 0x54, 0x00, 0x54, 0x99, 0x02});
  EXPECT_EQ(read(0x54, 1, 0), 0);
}

TEST_F(ReplyReader, fails_on_wrong_id_refusal_missing_end_and_broken_escape) {
  reply({0x02, 0x14, 0x21, 0x00, 0x21, 0x02});
  EXPECT_EQ(read(0x20, 0, 0), 100);
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kWrongId);

  for (int status : {0x01, 0x02, 0x10, 0xFF}) {
    port->flush_input();
    reply({0x02, 0x14, 0x20, status, 0x20, 0x02});
    EXPECT_EQ(read(0x20, 0, 0), 100) << status;
    EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kRefused);
  }

  port->flush_input();
  reply({0x02, 0x14, 0x54, 0x00, 0x54, 0x99, 0x77});  // a byte where the end belongs
  EXPECT_EQ(read(0x54, 1, 0), 100);
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kBadEnd);

  port->flush_input();
  reply({0x02, 0x14, 0x53, 0x00, 0x07, 0x10, 0x41, 0x42, 0x00, 0x02});  // 10 41 is no pair
  EXPECT_EQ(read(0x53, 1, 2), 100);

  port->flush_input();
  reply({0x02, 0x14, 0x53, 0x00, 0x07, 0x02, 0x41, 0x00, 0x02});  // frame ends inside the data
  EXPECT_EQ(read(0x53, 1, 2), 100);
}

TEST_F(ReplyReader, a_reply_longer_than_asked_fails_at_its_missing_end_byte) {
  reply({0x02, 0x14, 0x54, 0x00, 0x54, 0x01, 0x00, 0x02});
  EXPECT_EQ(read(0x54, 1, 0), 100);
}

TEST_F(ReplyReader, per_byte_timeout_allows_slow_trickle_but_not_one_long_gap) {
  // Each gap 4.9 s: the whole reply takes 24.5 s and is accepted.
  reply({0x02, 0x14, 0x20, 0x00, 0x20, 0x02}, 4900);
  EXPECT_EQ(read(0x20, 0, 0, 5.0), 0);
  // A single gap of the full timeout fails.
  reply({0x02, 0x14, 0x20});
  port->deliver(bytes({0x00, 0x20, 0x02}), 0, 5000);
  const long start = clock.now_ms();
  EXPECT_EQ(read(0x20, 0, 0, 5.0), 100);
  EXPECT_EQ(clock.now_ms() - start, 5000);
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kTimeout);
}

TEST_F(ReplyReader, silent_line_costs_exactly_the_timeout) {
  const long start = clock.now_ms();
  EXPECT_EQ(read(0x21, 0, 0, 1.5), 100);
  EXPECT_EQ(clock.now_ms() - start, 1500);
}

TEST_F(ReplyReader, repaints_only_while_the_timeout_is_above_one_second) {
  read(0x20, 0, 0, 0.5);
  EXPECT_EQ(ui.draw_event_calls(), 0);
  read(0x20, 0, 0, 1.0);
  EXPECT_EQ(ui.draw_event_calls(), 0);
  read(0x20, 0, 0, 5.0);
  EXPECT_GT(ui.draw_event_calls(), 0);
}

TEST_F(ReplyReader, a_line_that_hangs_up_mid_reply_fails_at_once) {
  reply({0x02, 0x14, 0x53, 0x00});
  port->hang_up_after_pending();
  const long start = clock.now_ms();
  EXPECT_EQ(read(0x53, 1, 30), 100);
  EXPECT_EQ(clock.now_ms(), start);
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kReadError);
}

TEST_F(ReplyReader, never_writes_outside_the_callers_buffers_whatever_arrives) {
  // Random streams, random counts: the buffers sit between guard bytes that
  // must survive (and the sanitizer build watches every access).
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> pick(0, 7);
  const std::uint8_t interesting[] = {0x02, 0x14, 0x10, 0x00, 0x20};
  for (int round = 0; round < 3000; ++round) {
    const auto head_count = static_cast<std::size_t>(byte(random) % 8);
    const auto data_count = static_cast<std::size_t>(byte(random) % 130);
    std::vector<std::uint8_t> stream;
    const int length = byte(random) % 200;
    for (int i = 0; i < length; ++i) {
      stream.push_back(pick(random) < 4 ? interesting[pick(random) % 5]
                                        : static_cast<std::uint8_t>(byte(random)));
    }
    if (round % 2 == 0) stream.insert(stream.begin(), {0x02, 0x14, 0x20, 0x00});
    port->flush_input();
    port->deliver(stream);
    std::vector<std::uint8_t> area(head_count + data_count + 16, 0xA5);
    std::span<std::uint8_t> h(area.data() + 4, head_count);
    std::span<std::uint8_t> d(area.data() + 8 + head_count, data_count);
    const std::uint8_t result = link.handle_response(d, h, 0x20, 0.01);
    EXPECT_TRUE(result == 0 || result == 100);
    for (std::size_t i = 0; i < 4; ++i) ASSERT_EQ(area[i], 0xA5);
    for (std::size_t i = 4 + head_count; i < 8 + head_count; ++i) ASSERT_EQ(area[i], 0xA5);
    for (std::size_t i = 8 + head_count + data_count; i < area.size(); ++i) {
      ASSERT_EQ(area[i], 0xA5);
    }
  }
}
