// Any bytes on the line: the simulated handset must never crash, whatever
// frames, escapes and file-system requests arrive.
#include <cstdint>

#include "sim/handset.h"
#include "sim/simulated_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::Handset handset;
  sim::SimulatedLine line(handset);
  // Split the input in two reads, as a serial line would deliver it.
  const std::size_t half = size / 2;
  line.receive({data, half});
  line.receive({data + half, size - half});
  return 0;
}
