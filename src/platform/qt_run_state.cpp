#include "platform/qt_run_state.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>

namespace platform {

namespace {

struct Look {
  const char* background;
  const char* text;
};

// Told apart by lightness as well as hue (CIELAB L* about 84 for PASS, 30
// for FAIL), so that they stay apart for an operator who cannot tell red
// from green; RUNNING is a yellow no one mistakes for either. The run log
// keeps its own yellow, green and red.
Look look_of(RunState state) {
  switch (state) {
    case RunState::kRunning:
      return {"#F2C200", "#000000"};
    case RunState::kPass:
      return {"#9BE3A5", "#0B3D17"};
    case RunState::kFail:
      return {"#8B1A1A", "#FFFFFF"};
    case RunState::kNone:
      break;
  }
  return {"transparent", "#000000"};
}

// Room around the letters inside the coloured area.
constexpr int kPaddingPx = 6;

QString style_of(RunState state) {
  const Look look = look_of(state);
  return QString("QLabel { background-color: %1; color: %2; border-radius: 4px; padding: %3px; }")
      .arg(look.background, look.text)
      .arg(kPaddingPx);
}

int height_for(const QFont& font) {
  return QFontMetrics(font).height() + 2 * kPaddingPx + 4;
}

}  // namespace

QString run_state_text(RunState state) {
  switch (state) {
    case RunState::kRunning:
      return QCoreApplication::translate("RunState", "RUNNING") + QString::fromUtf8(" \u25B6");
    case RunState::kPass:
      return QCoreApplication::translate("RunState", "PASS") + QString::fromUtf8(" \u2713");
    case RunState::kFail:
      return QCoreApplication::translate("RunState", "FAIL") + QString::fromUtf8(" \u2717");
    case RunState::kNone:
      break;
  }
  return {};
}

QFont run_state_font(int cap_height_px) {
  QFont font = QApplication::font();
  font.setBold(true);
  // Capitals are about 0.7 of the pixel size in common fonts: start just
  // below and grow until the font's own metrics agree.
  int size = cap_height_px * 13 / 10;
  if (size < 1) size = 1;
  for (int tries = 0; tries < 200; ++tries, ++size) {
    font.setPixelSize(size);
    if (QFontMetrics(font).capHeight() >= cap_height_px) break;
  }
  return font;
}

void show_run_state_on(QLabel* label, RunState state, int cap_height_px) {
  const QFont font = run_state_font(cap_height_px);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setStyleSheet(style_of(state));
  label->setText(run_state_text(state));
  // The same height with and without a state: the run log does not jump.
  label->setMinimumHeight(height_for(font));
}

RunStateLabel::RunStateLabel(int least_cap_px, int most_cap_px, QWidget* parent)
    : QLabel(parent), least_(least_cap_px), most_(most_cap_px) {
  // The width comes from the tile, never from the text: the text is fitted
  // to it.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  setAlignment(Qt::AlignCenter);
  setStyleSheet(style_of(state_));
  fit();
}

void RunStateLabel::set_state(RunState state) {
  if (state == state_) return;
  state_ = state;
  setStyleSheet(style_of(state_));
  setText(run_state_text(state_));
  fit();
}

void RunStateLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  fit();
}

void RunStateLabel::fit() {
  // The widest of the three words decides, so that the letters keep their
  // size from one state to the next.
  const int room = width() - 2 * kPaddingPx - 8;
  int cap = most_;
  for (; cap > least_; --cap) {
    const QFontMetrics metrics(run_state_font(cap));
    int widest = 0;
    for (RunState s : {RunState::kRunning, RunState::kPass, RunState::kFail}) {
      widest = std::max(widest, metrics.horizontalAdvance(run_state_text(s)));
    }
    if (widest <= room) break;
  }
  if (cap == cap_) return;
  cap_ = cap;
  const QFont font = run_state_font(cap_);
  setFont(font);
  setFixedHeight(height_for(font));
}

}  // namespace platform
