#include "platform/headless_ui.h"

namespace platform {

namespace {
constexpr int kSelectionPanelNumber = 1;
constexpr int kRunPanelNumber = 2;
}  // namespace

int HeadlessUserInterface::load_panel(int, const std::string&, int panel_number) {
  if (panel_number != kSelectionPanelNumber && panel_number != kRunPanelNumber) return -1;
  return panel_number;
}

int HeadlessUserInterface::display_panel(int) {
  return 0;
}

int HeadlessUserInterface::discard_panel(int panel) {
  for (auto it = controls_.begin(); it != controls_.end();) {
    it = it->first.first == panel ? controls_.erase(it) : std::next(it);
  }
  return 0;
}

int HeadlessUserInterface::run_user_interface() {
  return 0;
}

void HeadlessUserInterface::quit_user_interface(int) {}

std::string HeadlessUserInterface::value(int panel, int control) {
  return controls_[{panel, control}].value;
}

void HeadlessUserInterface::insert_text_box_line(int panel, int control, int index,
                                                 const std::string& text) {
  auto& lines = controls_[{panel, control}].lines;
  if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) {
    lines.push_back(text);
  } else {
    lines.insert(lines.begin() + index, text);
  }
  if (echo_lines_ && echo_key_ == std::pair{panel, control}) {
    // A reader that went away (a closed pipe) must never stop a run that may
    // be between a format and an IMEI write-back: stop echoing, keep the log.
    if (std::fprintf(echo_lines_, "%s\n", text.c_str()) < 0 || std::fflush(echo_lines_) != 0) {
      echo_lines_ = nullptr;
    }
  }
}

void HeadlessUserInterface::reset_text_box(int panel, int control) {
  controls_[{panel, control}].lines.clear();
}

int HeadlessUserInterface::num_text_box_lines(int panel, int control) {
  return static_cast<int>(controls_[{panel, control}].lines.size());
}

std::string HeadlessUserInterface::text_box_line(int panel, int control, int index) {
  const auto& lines = controls_[{panel, control}].lines;
  if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) return {};
  return lines[static_cast<std::size_t>(index)];
}

void HeadlessUserInterface::set_value(int panel, int control, const std::string& text) {
  controls_[{panel, control}].value = text;
}

void HeadlessUserInterface::set_attribute(int panel, int control, int attribute, int value) {
  controls_[{panel, control}].attributes[attribute] = value;
}

int HeadlessUserInterface::attribute(int panel, int control, int attribute) {
  auto& attrs = controls_[{panel, control}].attributes;
  auto it = attrs.find(attribute);
  return it == attrs.end() ? 0 : it->second;
}

void HeadlessUserInterface::message_popup(const std::string& title, const std::string& message) {
  popups_.push_back({title, message});
  if (echo_popups_) {
    std::fprintf(echo_popups_, "%s: %s\n", title.c_str(), message.c_str());
    std::fflush(echo_popups_);
  }
}

int HeadlessUserInterface::confirm_popup(const std::string& title, const std::string& message) {
  confirms_.push_back({title, message});
  if (echo_popups_) {
    std::fprintf(echo_popups_, "%s: %s\n", title.c_str(), message.c_str());
    std::fflush(echo_popups_);
  }
  if (confirm_answers_.empty()) return -1;
  const int answer = confirm_answers_.front();
  confirm_answers_.pop_front();
  return answer;
}

}  // namespace platform
