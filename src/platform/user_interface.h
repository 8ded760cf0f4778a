// The user-interface operations that the logic and the panel callbacks call
// (LoadPanel, SetCtrlVal, InsertTextBoxLine, MessagePopup, ...). They forward to the installed
// front end: the headless run log of the command line and the tests, or the GUI's panels.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/operator_text.h"

#include "platform/run_state.h"

namespace platform {

// The event a control's callback acts on: the operator confirmed its value.
constexpr int kEventCommit = 1;

// Control attributes, by the numbers the panels use.
constexpr int kAttrVisible = 530;
constexpr int kAttrBackColor = 690;
constexpr int kAttrFirstVisibleLine = 790;

// Run-log colours (24-bit RGB).
constexpr int kColorYellow = 0xFFFF00;
constexpr int kColorGreen = 0x00FF00;
constexpr int kColorRed = 0xFF0000;

// Position argument of InsertTextBoxLine that appends after the last line.
constexpr int kAppendLine = -1;

// A control's callback: panel, control, event and the event's data.
using CtrlCallback = int (*)(int panel, int control, int event, void* callback_data,
                             int event_data1, int event_data2);

// The program's callbacks by name; panel files name them.
struct CallbackEntry {
  const char* name;
  CtrlCallback function;
};
void set_callback_table(std::span<const CallbackEntry> table);
// nullptr when the program has no callback of that name.
CtrlCallback find_callback(std::string_view name);

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A panel from a panel file by its number: a handle, or negative (see last_error).
  virtual int load_panel(int parent, const std::string& file, int panel_number) = 0;
  virtual int display_panel(int panel) = 0;
  virtual int discard_panel(int panel) = 0;
  // Runs an event loop until a quit request; loops nest, and each request
  // ends the innermost loop still running.
  virtual int run_user_interface() = 0;
  virtual void quit_user_interface(int code) = 0;
  // Why the last failing operation failed, in plain words.
  virtual std::string last_error() { return {}; }
  // A control's value as text (a number control gives its number).
  virtual std::string value(int panel, int control) = 0;
  virtual void insert_text_box_line(int panel, int control, int index, const std::string& text) = 0;
  virtual void reset_text_box(int panel, int control) = 0;
  virtual int num_text_box_lines(int panel, int control) = 0;
  virtual std::string text_box_line(int panel, int control, int index) = 0;
  virtual void set_value(int panel, int control, const std::string& text) = 0;
  virtual void set_attribute(int panel, int control, int attribute, int value) = 0;
  virtual int attribute(int panel, int control, int attribute) = 0;
  virtual void message_popup(const std::string& title, const std::string& message) = 0;
  // A Yes/No question: 1 for Yes, 0 for No, -1 when nobody answered (no one
  // to ask, or the operator closed the question without choosing).
  virtual int confirm_popup(const std::string& /*title*/, const std::string& /*message*/) {
    return -1;
  }
  // The same for texts given as ids with arguments (operator_text.h): a
  // front end in another language translates them; by default their English.
  virtual void show_message(const OperatorText& title, const OperatorText& message) {
    message_popup(title.english(), message.english());
  }
  virtual int ask_question(const OperatorText& title, const OperatorText& question) {
    return confirm_popup(title.english(), question.english());
  }
  // A control's text as lines, each an operator text (none: empty).
  virtual void set_text(int panel, int control, const std::vector<OperatorText>& lines) {
    std::string joined;
    for (const OperatorText& line : lines) joined += (joined.empty() ? "" : "\n") + line.english();
    set_value(panel, control, joined);
  }
  virtual void process_draw_events() = 0;
  // Gives a control the keyboard focus; a text field's text is selected, so
  // that the next thing typed (a scan) replaces it.
  virtual void set_active_control(int /*panel*/, int /*control*/) {}
  // Shows a run's state on a control as a word and a sign in the state's
  // colours, large enough to read from the fixture; a front end without such
  // a control shows nothing.
  virtual void show_run_state(int /*panel*/, int /*control*/, RunState /*state*/) {}
  // Shows a window of the front end's own (the yield report) and returns when
  // the operator has closed it; the operator's input reaches it meanwhile.
  virtual void run_modal(const std::function<void()>& show) { show(); }
};

// The front end in use; a headless run log (silent) until one is installed.
UserInterface& user_interface();
void set_user_interface(UserInterface* ui);  // nullptr restores the default

int LoadPanel(int parent, const std::string& file, int panel_number);
int DisplayPanel(int panel);
int DiscardPanel(int panel);
int RunUserInterface();
int QuitUserInterface(int code);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, std::string* value);
int SetCtrlVal(int panel, int control, int value);
int InsertTextBoxLine(int panel, int control, int index, const std::string& text);
int ResetTextBox(int panel, int control, const std::string& text);
int GetNumTextBoxLines(int panel, int control, int* count);
int GetTextBoxLine(int panel, int control, int index, std::string* text);
int SetCtrlVal(int panel, int control, const std::string& text);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int MessagePopup(const std::string& title, const std::string& message);
// 1 Yes, 0 No, -1 no answer (see UserInterface::confirm_popup). The
// question's sound calls the operator to the screen first.
int ConfirmPopup(const std::string& title, const std::string& message);
// The same for texts the front end may translate (see operator_text.h).
int MessagePopup(const OperatorText& title, const OperatorText& message);
int ConfirmPopup(const OperatorText& title, const OperatorText& question);
int SetCtrlVal(int panel, int control, const OperatorText& text);
int SetCtrlVal(int panel, int control, const std::vector<OperatorText>& lines);
// An error box in the operator's language.
int ErrorPopup(const OperatorText& message);
int ProcessDrawEvents();
int SetActiveCtrl(int panel, int control);
int SetRunState(int panel, int control, RunState state);

}  // namespace platform
