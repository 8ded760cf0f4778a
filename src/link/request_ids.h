// Every request the tool sends, by its id, and the operations of the
// file-system request: the one table that the commands, the file-system
// commands and the trace decoder name them from. (The simulated handset keeps
// a table of its own on purpose, so that a wrong id here is caught by the
// tests that compare the two.)
#pragma once

#include <cstdint>

namespace wire {

// Test mode and timing.
constexpr std::uint8_t kTiRequest = 0x20;
constexpr std::uint8_t kTestModeRequest = 0x21;
constexpr std::uint8_t kSeRequest = 0x54;

// Parameters and registers. The NVM reset is a parameter write of its own head.
constexpr std::uint8_t kParameterWriteRequest = 0x52;
constexpr std::uint8_t kParameterReadRequest = 0x53;
constexpr std::uint8_t kRegisterWriteRequest = 0x42;
constexpr std::uint8_t kRegisterReadRequest = 0x43;
constexpr std::uint8_t kSpwRequest = 0x50;
constexpr std::uint8_t kRfeRequest = 0x23;
constexpr std::uint8_t kAgcWriteRequest = 0x32;
constexpr std::uint8_t kAgcReadRequest = 0x33;

// The calibration check.
constexpr std::uint8_t kCalibrationRequest = 0x45;

// The flash file system: one request id, the operation in its head.
constexpr std::uint8_t kFsRequest = 0x70;
// The items of its head: a marker, then texts and values.
constexpr std::uint8_t kMarker = 0x01;
constexpr std::uint8_t kTextItem = 0x26;
constexpr std::uint8_t kValueItemWord = 0x21;   // followed by two bytes
constexpr std::uint8_t kValueItemShort = 0x23;  // followed by two bytes
constexpr std::uint8_t kOpFormatFirst = 0x03;
constexpr std::uint8_t kOpFormatSecond = 0x04;
constexpr std::uint8_t kOpClose = 0x07;
constexpr std::uint8_t kOpReadSetup = 0x08;
constexpr std::uint8_t kOpRemove = 0x09;
constexpr std::uint8_t kOpMakeDirectory = 0x0A;
constexpr std::uint8_t kOpDirectory = 0x0B;
constexpr std::uint8_t kOpFileQuery = 0x0D;
constexpr std::uint8_t kOpBlockRead = 0x1A;
constexpr std::uint8_t kOpWrite = 0x1B;

}  // namespace wire
