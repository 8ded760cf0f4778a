#include "platform/qt_sounds.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QStringList>
#include <QUrl>
#include <array>
#include <cstdio>

namespace platform {

namespace {

const char* source_of(Sound sound) {
  switch (sound) {
    case Sound::kPass:
      return "qrc:/ffsload/sounds/pass.wav";
    case Sound::kFail:
      return "qrc:/ffsload/sounds/fail.wav";
    case Sound::kQuestion:
      break;
  }
  return "qrc:/ffsload/sounds/question.wav";
}

constexpr std::array<Sound, 3> kSounds{Sound::kPass, Sound::kFail, Sound::kQuestion};

// What Qt's sound back end says while the output is looked for ("pa_context_
// connect() failed"): kept for the one line that tells of a missing output,
// instead of lines of its own in the station's log.
QStringList g_probe_messages;
void keep_probe_message(QtMsgType, const QMessageLogContext&, const QString& message) {
  g_probe_messages << message.trimmed();
}

QAudioDevice find_output(QString* said) {
  g_probe_messages.clear();
  const QtMessageHandler previous = qInstallMessageHandler(keep_probe_message);
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  qInstallMessageHandler(previous);
  *said = g_probe_messages.join("; ");
  g_probe_messages.clear();
  return device;
}

}  // namespace

struct QtSounds::State {
  bool prepared = false;
  // No output, or a sound that cannot be played: told once, then silence.
  bool silent = false;
  std::array<std::unique_ptr<QSoundEffect>, 3> effects;

  void go_silent(const std::string& why) {
    if (silent) return;
    silent = true;
    std::fprintf(stderr, "ffsload: no sound: %s; the runs go on without their sounds\n",
                 why.c_str());
    std::fflush(stderr);
  }
};

QtSounds::QtSounds() : state_(std::make_unique<State>()) {}

QtSounds::~QtSounds() = default;

void QtSounds::prepare() {
  State& s = *state_;
  if (s.prepared) return;
  s.prepared = true;
  QString said;
  const QAudioDevice device = find_output(&said);
  if (device.isNull()) {
    std::string why = "this computer has no sound output, or its sound server does not answer";
    if (!said.isEmpty()) why += " (" + said.toStdString() + ")";
    s.go_silent(why);
    return;
  }
  // A device found: what the back end said on the way is not a fault.
  if (!said.isEmpty()) std::fprintf(stderr, "ffsload: sound: %s\n", said.toUtf8().constData());
  for (std::size_t i = 0; i < kSounds.size(); ++i) {
    auto effect = std::make_unique<QSoundEffect>(device);
    State* state = &s;
    const Sound sound = kSounds[i];
    QObject::connect(
        effect.get(), &QSoundEffect::statusChanged, effect.get(),
        [state, sound, raw = effect.get()] {
          if (raw->status() == QSoundEffect::Error) {
            state->go_silent(std::string("the ") + sound_name(sound) + " sound cannot be played");
          }
        });
    effect->setSource(QUrl(QString::fromLatin1(source_of(sound))));
    s.effects[i] = std::move(effect);
  }
}

void QtSounds::play(Sound sound) {
  prepare();
  State& s = *state_;
  if (s.silent) return;
  // Sounds of different tiles may overlap: the sound server mixes them, and
  // a FAIL is never cut short by another tile's PASS.
  for (std::size_t i = 0; i < kSounds.size(); ++i) {
    if (kSounds[i] == sound && s.effects[i]) s.effects[i]->play();
  }
}

}  // namespace platform
