// The station's sounds over Qt Multimedia: the three WAV files built into
// the program, played on the system's default sound output at the system's
// volume. A station without a sound output says so once on stderr (the
// station's log) and goes on silently: no message box, no wait.
#pragma once

#include <memory>

#include "platform/sounds.h"

namespace platform {

class QtSounds final : public SoundOutput {
 public:
  QtSounds();
  ~QtSounds() override;
  QtSounds(const QtSounds&) = delete;
  QtSounds& operator=(const QtSounds&) = delete;

  void prepare() override;
  void play(Sound sound) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
