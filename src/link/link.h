// The only road between the tool and the handset: opening the port, writing
// one request frame, and reading one reply frame back as an exchange status.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

// The serial port in use, 1..8. Set by the front end when it opens the port;
// every serial operation of the link names the port by this value.
extern int comport;

namespace wire {

constexpr std::uint8_t kFrameBoundary = 0x02;
constexpr std::uint8_t kFrameType = 0x14;
constexpr std::uint8_t kEscape = 0x10;

constexpr std::uint8_t kExchangeOk = 0;
constexpr std::uint8_t kExchangeFailed = 100;

constexpr int kReaderComplete = 0;
constexpr int kReaderFailed = 99;

// Frames, escape bytes included, never exceed this length.
constexpr std::size_t kMaxFrameLength = 255;
// Leading noise tolerated before the start pair.
constexpr int kHuntLimit = 30;

// Why the most recent exchange failed. The exchange status stays 0 or 100;
// this is for the few callers that must tell a handset's refusal (it answered,
// with a non-zero reply status) apart from a line that said nothing useful.
enum class ReplyFault {
  kNone,           // complete reply, status 0
  kTimeout,        // no byte within the timeout
  kReadError,      // the port reported an error (hang-up, not open)
  kNoise,          // too many bytes before the start pair
  kWrongId,        // a reply to some other request
  kRefused,        // right id, non-zero reply status
  kBadEnd,         // no end byte where the layout puts it, or a broken escape
  kRequestRefused  // the request did not fit a frame and was never sent
};
ReplyFault last_reply_fault();
std::string_view describe(ReplyFault fault);

// Optional observer of every frame written and every reply byte read (trace).
using TraceSink = std::function<void(bool outgoing, std::span<const std::uint8_t> bytes)>;
void set_trace_sink(TraceSink sink);

}  // namespace wire

// Opens and configures the port for numbers 1..8; any other number does nothing.
// The outcome is not looked at here: a port that did not open fails its exchanges.
void config_comport(int port);

// Flushes both queues and writes one request frame. A request whose frame would
// pass 255 bytes is refused: nothing is written and the next exchange fails.
void send_packet(std::uint8_t request_id, std::span<const std::uint8_t> head,
                 std::span<const std::uint8_t> body);

// Reads the reply to request_id: head.size() reply head bytes (as they arrive)
// and data.size() reply data bytes (escape removed), each byte within timeout
// seconds of the one before. Returns 0 for a complete reply with status 0,
// 100 otherwise. Counts above 255 are refused (100).
std::uint8_t handle_response(std::span<std::uint8_t> data, std::span<std::uint8_t> head,
                             std::uint8_t request_id, double timeout);

// The reply reader behind handle_response: 0 when a complete frame was read,
// 99 when it failed. status is set to 0 at the start and to the reply status
// when that byte arrives.
int receive_next_packet(const std::uint8_t& expected_id, std::span<std::uint8_t> head,
                        std::span<std::uint8_t> data, std::uint8_t& status, double timeout);

// One exchange: send_packet, then handle_response for the same request id.
std::uint8_t exchange(std::uint8_t request_id, std::span<const std::uint8_t> head,
                      std::span<const std::uint8_t> body, std::span<std::uint8_t> reply_data,
                      std::span<std::uint8_t> reply_head, double timeout);
