// The user-interface operations of the run-time that the logic calls, by
// their run-time names. They forward to the installed front end: the headless
// run log of the command line and the tests, or the GUI's panels.
#pragma once

#include <string>

namespace platform {

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

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  virtual void insert_text_box_line(int panel, int control, int index, const std::string& text) = 0;
  virtual void reset_text_box(int panel, int control) = 0;
  virtual int num_text_box_lines(int panel, int control) = 0;
  virtual std::string text_box_line(int panel, int control, int index) = 0;
  virtual void set_value(int panel, int control, const std::string& text) = 0;
  virtual void set_attribute(int panel, int control, int attribute, int value) = 0;
  virtual int attribute(int panel, int control, int attribute) = 0;
  virtual void message_popup(const std::string& title, const std::string& message) = 0;
  virtual void process_draw_events() = 0;
};

// The front end in use; a headless run log (silent) until one is installed.
UserInterface& user_interface();
void set_user_interface(UserInterface* ui);  // nullptr restores the default

int InsertTextBoxLine(int panel, int control, int index, const std::string& text);
int ResetTextBox(int panel, int control, const std::string& text);
int GetNumTextBoxLines(int panel, int control, int* count);
int GetTextBoxLine(int panel, int control, int index, std::string* text);
int SetCtrlVal(int panel, int control, const std::string& text);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int MessagePopup(const std::string& title, const std::string& message);
int ProcessDrawEvents();

}  // namespace platform
