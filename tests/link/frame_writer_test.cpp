#include <array>

#include "support/port_fixture.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

class FrameWriter : public testing_support::BarePortTest {
 protected:
  std::vector<std::uint8_t> frame_for(std::uint8_t id, std::vector<std::uint8_t> head,
                                      std::vector<std::uint8_t> body) {
    port->clear_written();
    link.send_packet(id, head, body);
    return port->written();
  }
};

TEST_F(FrameWriter, worked_examples_come_out_byte_for_byte) {
  EXPECT_EQ(frame_for(0x20, {}, {}), bytes({0x02, 0x14, 0x20, 0x20, 0x02}));
  EXPECT_EQ(frame_for(0x21, {0x41, 0x01}, {}), bytes({0x02, 0x14, 0x21, 0x41, 0x01, 0x61, 0x02}));
  // Escaped head bytes: the checksum takes each value once, not the escape byte.
  EXPECT_EQ(frame_for(0x42, {0x10, 0x02}, {0x05, 0x00}),
            bytes({0x02, 0x14, 0x42, 0x10, 0x10, 0x10, 0x02, 0x05, 0x00, 0x55, 0x02}));
  // A checksum of 0x10 travels as an escape pair.
  EXPECT_EQ(frame_for(0x52, {0x42}, {}), bytes({0x02, 0x14, 0x52, 0x42, 0x10, 0x10, 0x02}));
}

TEST_F(FrameWriter, request_id_is_never_escaped_and_checksum_two_is) {
  // id 0x02 with no bytes: checksum 0x02 must be escaped, the id must not.
  EXPECT_EQ(frame_for(0x02, {}, {}), bytes({0x02, 0x14, 0x02, 0x10, 0x02, 0x02}));
}

TEST_F(FrameWriter, writes_the_whole_frame_in_one_write) {
  std::vector<std::uint8_t> body(40, 0x10);  // the largest request, every byte escaped
  auto frame = frame_for(0x70, {0x1B, 39, 0x00}, body);
  EXPECT_EQ(port->write_count(), 1);
  EXPECT_EQ(frame.size(), 3u + 3u + 80u + 1u + 1u);
  EXPECT_LE(frame.size(), wire::kMaxFrameLength);
}

TEST_F(FrameWriter, flushes_an_abandoned_reply_before_the_next_request) {
  reply({0x02, 0x14, 0x20, 0x05});  // rest of a refused reply, left in the queue
  link.send_packet(0x20, {}, {});
  EXPECT_EQ(platform::GetInQLen(link.comport()), 0);
}

TEST_F(FrameWriter, refuses_a_frame_longer_than_255_bytes_and_fails_its_exchange_at_once) {
  std::vector<std::uint8_t> body(130, 0x02);  // 260 bytes escaped
  const long before = clock.now_ms();
  std::array<std::uint8_t, 1> head{};
  EXPECT_EQ(link.exchange(0x70, {}, body, {}, head, 5.0), wire::kExchangeFailed);
  EXPECT_TRUE(port->written().empty());
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kRequestRefused);
  EXPECT_EQ(clock.now_ms(), before);  // no five-second wait for a reply that cannot come
  // The refusal is not carried over to the next, sendable request.
  port->deliver(bytes({0x02, 0x14, 0x20, 0x00, 0x20, 0x02}), 0, 1);  // arrives after the flush
  EXPECT_EQ(link.exchange(0x20, {}, {}, {}, {}, 5.0), wire::kExchangeOk);
}

TEST_F(FrameWriter, config_comport_ignores_numbers_outside_one_to_eight) {
  int opened = 0;
  platform::set_device_opener([&](int, const platform::SerialSettings&,
                                  std::string*) -> std::unique_ptr<platform::SerialDevice> {
    ++opened;
    return std::make_unique<platform::MemorySerialDevice>();
  });
  config_comport(0);
  config_comport(9);
  config_comport(257);  // would be port 1 if it were cut to a byte
  EXPECT_EQ(opened, 0);
  platform::SerialSettings seen;
  platform::set_device_opener([&](int, const platform::SerialSettings& s, std::string*) {
    seen = s;
    ++opened;
    return std::make_unique<platform::MemorySerialDevice>();
  });
  config_comport(3);
  EXPECT_EQ(seen.input_queue_size, 65535);
  config_comport(4);
  EXPECT_EQ(seen.input_queue_size, 512);
  EXPECT_EQ(seen.baud, 115200);
  EXPECT_EQ(opened, 2);
  platform::set_device_opener(nullptr);
}
