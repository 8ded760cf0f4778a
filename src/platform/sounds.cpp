#include "platform/sounds.h"

namespace platform {

namespace {
SoundOutput* g_output = nullptr;
bool g_on = true;
}  // namespace

const char* sound_name(Sound sound) {
  switch (sound) {
    case Sound::kPass:
      return "pass";
    case Sound::kFail:
      return "fail";
    case Sound::kQuestion:
      break;
  }
  return "question";
}

void set_sound_output(SoundOutput* output) {
  g_output = output;
}

void use_sounds(bool on) {
  g_on = on;
  if (g_on && g_output) g_output->prepare();
}

void play_sound(Sound sound) {
  if (g_on && g_output) g_output->play(sound);
}

}  // namespace platform
