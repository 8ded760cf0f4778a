// A sound output that keeps what it was asked to play, installed for a
// test's length (and sounds turned back on, as a fresh process has them).
#pragma once

#include <algorithm>
#include <vector>

#include "platform/sounds.h"

namespace testing_support {

class RecordedSounds final : public platform::SoundOutput {
 public:
  RecordedSounds() { platform::set_sound_output(this); }
  ~RecordedSounds() override {
    platform::set_sound_output(nullptr);
    platform::use_sounds(true);
  }
  RecordedSounds(const RecordedSounds&) = delete;
  RecordedSounds& operator=(const RecordedSounds&) = delete;

  void play(platform::Sound sound) override { played.push_back(sound); }
  void prepare() override { ++prepared; }
  long count(platform::Sound sound) const {
    return std::count(played.begin(), played.end(), sound);
  }

  std::vector<platform::Sound> played;
  int prepared = 0;
};

}  // namespace testing_support
