// The sounds a station makes for an operator who looks at the handset and
// the fixture rather than the screen: one when a run passes, one when it
// fails, one when a question waits for an answer. A front end with a sound
// output installs it; without one (the command line, a station without
// sound, "sound = off") every sound is silence. The volume is the system's.
#pragma once

namespace platform {

enum class Sound { kPass, kFail, kQuestion };

// "pass", "fail", "question"
const char* sound_name(Sound sound);

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // Starts the sound and returns at once; sounds may overlap.
  virtual void play(Sound sound) = 0;
  // Readies the output before the first sound (loads the sounds, finds the
  // system's output), so that the first one is on time and a station
  // without a sound output says so once, at start.
  virtual void prepare() {}
};

// The output in use; nullptr (the default) is silence. The caller keeps it
// alive while it is installed.
void set_sound_output(SoundOutput* output);
// The station's "sound" setting: off silences the installed output (it is
// never touched); on prepares it. On until called.
void use_sounds(bool on);
// Plays `sound` on the installed output, if any and sounds are on.
void play_sound(Sound sound);

}  // namespace platform
