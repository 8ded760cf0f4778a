#include "platform/user_interface.h"

#include <cstdlib>
#include <vector>

#include "platform/headless_ui.h"
#include "platform/sounds.h"

namespace platform {

namespace {
HeadlessUserInterface g_default_ui;
UserInterface* g_ui = &g_default_ui;
std::vector<CallbackEntry> g_callbacks;
}  // namespace

void set_callback_table(std::span<const CallbackEntry> table) {
  g_callbacks.assign(table.begin(), table.end());
}

CtrlCallback find_callback(std::string_view name) {
  for (const CallbackEntry& entry : g_callbacks) {
    if (entry.name && name == entry.name) return entry.function;
  }
  return nullptr;
}

UserInterface& user_interface() {
  return *g_ui;
}

void set_user_interface(UserInterface* ui) {
  g_ui = ui ? ui : &g_default_ui;
}

int LoadPanel(int parent, const std::string& file, int panel_number) {
  return g_ui->load_panel(parent, file, panel_number);
}

int DisplayPanel(int panel) {
  return g_ui->display_panel(panel);
}

int DiscardPanel(int panel) {
  return g_ui->discard_panel(panel);
}

int RunUserInterface() {
  return g_ui->run_user_interface();
}

int QuitUserInterface(int code) {
  g_ui->quit_user_interface(code);
  return 0;
}

int GetCtrlVal(int panel, int control, int* value) {
  const std::string text = g_ui->value(panel, control);
  if (value) *value = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  return 0;
}

int GetCtrlVal(int panel, int control, std::string* value) {
  if (value) *value = g_ui->value(panel, control);
  return 0;
}

int SetCtrlVal(int panel, int control, int value) {
  g_ui->set_value(panel, control, std::to_string(value));
  return 0;
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

int ConfirmPopup(const std::string& title, const std::string& message) {
  play_sound(Sound::kQuestion);
  const int answer = g_ui->confirm_popup(title, message);
  return answer == 0 || answer == 1 ? answer : -1;
}

int MessagePopup(const OperatorText& title, const OperatorText& message) {
  g_ui->show_message(title, message);
  return 0;
}

int ConfirmPopup(const OperatorText& title, const OperatorText& question) {
  // A question waits for someone who may be looking at the fixture.
  play_sound(Sound::kQuestion);
  const int answer = g_ui->ask_question(title, question);
  return answer == 0 || answer == 1 ? answer : -1;
}

int SetCtrlVal(int panel, int control, const OperatorText& text) {
  g_ui->set_text(panel, control, text.empty() ? std::vector<OperatorText>{} : std::vector{text});
  return 0;
}

int SetCtrlVal(int panel, int control, const std::vector<OperatorText>& lines) {
  g_ui->set_text(panel, control, lines);
  return 0;
}

int ErrorPopup(const OperatorText& message) {
  return MessagePopup(OperatorText{"title.error", {}}, message);
}

int ProcessDrawEvents() {
  g_ui->process_draw_events();
  return 0;
}

int SetActiveCtrl(int panel, int control) {
  g_ui->set_active_control(panel, control);
  return 0;
}

int SetRunState(int panel, int control, RunState state) {
  g_ui->show_run_state(panel, control, state);
  return 0;
}

}  // namespace platform
