// The user-interface operations over Qt 6 Widgets: panels come from a panel
// file in Qt Designer's XML, loaded at run time, so their layout can change
// without a rebuild. In the file, a widget with the property "panel" is a
// panel, a widget with the property "control" is a control of the panel that
// holds it, and a control with the property "callback" calls the program's
// function of that name when the operator confirms it.
//
// Only this back end and the program's main know Qt; the rest of the program
// sees the operations of user_interface.h. A QApplication must exist.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/user_interface.h"

class QWidget;

namespace platform {

class QtPanels final : public UserInterface {
 public:
  struct Popup {
    std::string title;
    std::string message;
  };

  QtPanels();
  ~QtPanels() override;
  QtPanels(const QtPanels&) = delete;
  QtPanels& operator=(const QtPanels&) = delete;

  // Tests: record message boxes instead of showing them (a modal box would
  // wait for an operator).
  void record_popups_only(bool record_only);
  const std::vector<Popup>& popups() const;
  // The widget of a panel, or of one of its controls; nullptr when unknown.
  QWidget* panel_widget(int panel) const;
  QWidget* control_widget(int panel, int control) const;
  // True while a callback runs outside a nested loop: input is dropped.
  bool input_blocked() const;

  int load_panel(int parent, const std::string& file, int panel_number) override;
  int display_panel(int panel) override;
  int discard_panel(int panel) override;
  int run_user_interface() override;
  void quit_user_interface(int code) override;
  std::string last_error() override;
  std::string value(int panel, int control) override;
  void insert_text_box_line(int panel, int control, int index, const std::string& text) override;
  void reset_text_box(int panel, int control) override;
  int num_text_box_lines(int panel, int control) override;
  std::string text_box_line(int panel, int control, int index) override;
  void set_value(int panel, int control, const std::string& text) override;
  void set_attribute(int panel, int control, int attribute, int value) override;
  int attribute(int panel, int control, int attribute) override;
  void message_popup(const std::string& title, const std::string& message) override;
  // Always shown, even when message boxes are only recorded: a question must
  // be answered (tests answer it through QApplication::activeModalWidget()).
  int confirm_popup(const std::string& title, const std::string& message) override;
  // The same in the operator's language; popups() holds their English.
  void show_message(const OperatorText& title, const OperatorText& message) override;
  int ask_question(const OperatorText& title, const OperatorText& question) override;
  void set_text(int panel, int control, const std::vector<OperatorText>& lines) override;
  void process_draw_events() override;
  void set_active_control(int panel, int control) override;
  void run_modal(const std::function<void()>& show) override;
  // A label control shows the state in capitals kRunPanelCapHeightPx tall.
  void show_run_state(int panel, int control, RunState state) override;

  // A notice about the station as a whole (its sender to the factory's
  // network cannot run), in the operator's language at the foot of every
  // panel, those loaded later too, until an empty text takes it away. A
  // panel without a layout in the panel file shows none.
  void show_station_notice(const OperatorText& text);
  // The label that shows it on a panel; nullptr when the panel has none.
  QWidget* station_notice_widget(int panel) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
