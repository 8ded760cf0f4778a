#include "platform/user_interface.h"

#include "platform/headless_ui.h"

namespace platform {

namespace {
HeadlessUserInterface g_default_ui;
UserInterface* g_ui = &g_default_ui;
}  // namespace

UserInterface& user_interface() {
  return *g_ui;
}

void set_user_interface(UserInterface* ui) {
  g_ui = ui ? ui : &g_default_ui;
}

int InsertTextBoxLine(int panel, int control, int index, const std::string& text) {
  g_ui->insert_text_box_line(panel, control, index, text);
  return 0;
}

int ResetTextBox(int panel, int control, const std::string& text) {
  g_ui->reset_text_box(panel, control);
  if (!text.empty()) g_ui->insert_text_box_line(panel, control, kAppendLine, text);
  return 0;
}

int GetNumTextBoxLines(int panel, int control, int* count) {
  if (count) *count = g_ui->num_text_box_lines(panel, control);
  return 0;
}

int GetTextBoxLine(int panel, int control, int index, std::string* text) {
  if (text) *text = g_ui->text_box_line(panel, control, index);
  return 0;
}

int SetCtrlVal(int panel, int control, const std::string& text) {
  g_ui->set_value(panel, control, text);
  return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
  g_ui->set_attribute(panel, control, attribute, value);
  return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
  if (value) *value = g_ui->attribute(panel, control, attribute);
  return 0;
}

int MessagePopup(const std::string& title, const std::string& message) {
  g_ui->message_popup(title, message);
  return 0;
}

int ProcessDrawEvents() {
  g_ui->process_draw_events();
  return 0;
}

}  // namespace platform
