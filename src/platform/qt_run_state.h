// A run's state drawn over Qt: the word in the operator's language, its
// sign and its colours, in letters large enough to read from the fixture.
// The run panel's state control and each grid tile use it.
#pragma once

#include <QLabel>
#include <QString>

#include "platform/run_state.h"

namespace platform {

// Capitals at least 40 px tall read at three metres on a 1080p screen
// (about 1 cm on a 24" screen). The run panel's are a little taller, since
// the font's metrics round and smoothing takes a pixel off the drawn edges.
constexpr int kLeastLegibleCapHeightPx = 40;
constexpr int kRunPanelCapHeightPx = 44;

// "RUNNING ▶", "PASS ✓", "FAIL ✗" (the words translated); "" for kNone.
QString run_state_text(RunState state);

// The bold font of the application whose capitals are at least
// `cap_height_px` tall (the smallest such pixel size).
QFont run_state_font(int cap_height_px);

// Shows `state` on `label`: text, colours, centred, in capitals
// `cap_height_px` tall; the label's height then holds them.
void show_run_state_on(QLabel* label, RunState state, int cap_height_px);

// A tile's state: letters as large as its width allows, between `least` and
// `most` pixels of cap height, refitted as the tile is resized.
class RunStateLabel final : public QLabel {
 public:
  RunStateLabel(int least_cap_px, int most_cap_px, QWidget* parent = nullptr);
  void set_state(RunState state);
  RunState state() const { return state_; }
  // The cap height in use, in pixels.
  int cap_height() const { return cap_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fit();

  int least_;
  int most_;
  int cap_ = 0;
  RunState state_ = RunState::kNone;
};

}  // namespace platform
