// A user interface without windows: every panel control is kept in memory.
// Panels 1 and 2 exist without a panel file (their handles are their
// numbers); an event loop has no input of its own and returns at once.
// Lines appended to the run log can be echoed to a stream as they come (the
// command line prints them on stdout), message boxes to another (stderr).
#pragma once

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/user_interface.h"

namespace platform {

class HeadlessUserInterface final : public UserInterface {
 public:
  struct Control {
    std::vector<std::string> lines;
    std::string value;
    std::map<int, int> attributes;
    RunState state = RunState::kNone;  // the last show_run_state()
  };
  struct Popup {
    std::string title;
    std::string message;
  };

  // Lines appended to (log_panel, log_control) go to echo_lines when set.
  void echo_run_log(int log_panel, int log_control, std::FILE* out) {
    echo_key_ = {log_panel, log_control};
    echo_lines_ = out;
  }
  void echo_popups(std::FILE* out) { echo_popups_ = out; }

  const Control& control(int panel, int control) { return controls_[{panel, control}]; }
  const std::vector<Popup>& popups() const { return popups_; }
  // Yes/No questions: answered in turn from the queue (1 Yes, 0 No, -1 no
  // answer); with the queue empty nobody answers. Each question is kept.
  void queue_confirm_answer(int answer) { confirm_answers_.push_back(answer); }
  const std::vector<Popup>& confirms() const { return confirms_; }
  int draw_event_calls() const { return draw_events_; }

  int load_panel(int parent, const std::string& file, int panel_number) override;
  int display_panel(int panel) override;
  int discard_panel(int panel) override;
  int run_user_interface() override;
  void quit_user_interface(int code) override;
  std::string value(int panel, int control) override;

  void insert_text_box_line(int panel, int control, int index, const std::string& text) override;
  void reset_text_box(int panel, int control) override;
  int num_text_box_lines(int panel, int control) override;
  std::string text_box_line(int panel, int control, int index) override;
  void set_value(int panel, int control, const std::string& text) override;
  void set_attribute(int panel, int control, int attribute, int value) override;
  int attribute(int panel, int control, int attribute) override;
  void message_popup(const std::string& title, const std::string& message) override;
  int confirm_popup(const std::string& title, const std::string& message) override;
  void process_draw_events() override { ++draw_events_; }
  void set_active_control(int panel, int control) override { active_ = {panel, control}; }
  void show_run_state(int panel, int control, RunState state) override {
    controls_[{panel, control}].state = state;
  }
  // The control last given the focus, {-1, -1} before any.
  std::pair<int, int> active_control() const { return active_; }

 private:
  std::map<std::pair<int, int>, Control> controls_;
  std::vector<Popup> popups_;
  std::vector<Popup> confirms_;
  std::deque<int> confirm_answers_;
  std::pair<int, int> echo_key_{-1, -1};
  std::FILE* echo_lines_ = nullptr;
  std::FILE* echo_popups_ = nullptr;
  int draw_events_ = 0;
  std::pair<int, int> active_{-1, -1};
};

}  // namespace platform
