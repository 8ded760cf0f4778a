#include "platform/qt_panels.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QUiLoader>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/qt_confirm_box.h"
#include "platform/qt_operator_text.h"
#include "platform/qt_run_state.h"

namespace platform {

namespace {

// Dynamic properties that the panel file gives its widgets.
constexpr const char* kPanelProperty = "panel";
constexpr const char* kControlProperty = "control";
constexpr const char* kCallbackProperty = "callback";
// A number field whose every change is a commit (not only Enter).
constexpr const char* kCommitOnChangeProperty = "commitOnChange";
// The control that has the focus when its panel is shown.
constexpr const char* kStartFocusProperty = "startFocus";
// Set by the loader on each panel and control: the handle of its panel.
constexpr const char* kHandleProperty = "ffsloadPanelHandle";

// What the program puts in a label at run time (a serial, an operator id,
// the MA_NO, a notice quoting them) is shown as typed: "<b>" or "&lt;" in a
// serial must never be read as markup, which could hide the rest of the text.
void show_plain(QLabel* label, const QString& text) {
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
}

bool is_input_event(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

bool is_enter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// A word-wrapped label (a notice below the run log) takes more lines the
// longer its text, but a window's minimum height follows only the one-line
// sizes: given less than the wrapped text needs, the layout pushes its rows
// into each other (the Line/Seconds row over the log). The window is kept at
// least as tall as its rows need at its width, so it grows with the text and
// cannot be shrunk over it.
void keep_rows_apart(QWidget* window) {
  QLayout* layout = window->layout();
  if (!layout || !layout->hasHeightForWidth()) return;
  const int needed = std::max(layout->totalMinimumSize().height(),
                              layout->totalMinimumHeightForWidth(window->width()));
  if (window->minimumHeight() != needed) window->setMinimumHeight(needed);
}

QColor rgb(int value) {
  return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

// Sets a flag for a scope and restores its earlier value.
class FlagSetting {
 public:
  FlagSetting(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~FlagSetting() { flag_ = saved_; }
  FlagSetting(const FlagSetting&) = delete;
  FlagSetting& operator=(const FlagSetting&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

struct QtPanels::State {
  struct Control {
    QPointer<QWidget> widget;
    CtrlCallback callback = nullptr;
    std::map<int, int> attributes;
    std::vector<std::string> lines;  // a text box's lines, as the program wrote them
  };
  struct Panel {
    std::unique_ptr<QWidget> widget;
    std::map<int, Control> controls;
    QPointer<QLabel> station_notice;
  };
  struct Loop {
    QEventLoop* loop;
    bool quit_requested;
  };

  class Filter final : public QObject {
   public:
    explicit Filter(State& state) : state_(state) {}
    bool eventFilter(QObject* object, QEvent* event) override {
      return state_.filter(object, event);
    }

   private:
    State& state_;
  };

  std::map<int, Panel> panels;
  int next_handle = 1;
  // Discarded panels are hidden and kept: one may be discarded from inside its
  // own event handler, which must not find its widget deleted on return.
  std::vector<std::unique_ptr<QWidget>> discarded;
  std::vector<Loop> loops;
  // True while a callback runs outside a nested loop: the operator's input
  // is dropped, so a second press cannot start a second run.
  bool input_closed = false;
  bool record_popups_only = false;
  bool told_no_state_control = false;
  OperatorText station_notice;
  std::vector<Popup> popups;
  std::string error;
  Filter event_filter{*this};

  State() { qApp->installEventFilter(&event_filter); }
  ~State() {
    qApp->removeEventFilter(&event_filter);
    panels.clear();
    discarded.clear();
  }

  // Plain text, as a notice may quote the sender's words; a panel grows
  // with it rather than letting it cover its rows.
  static void show_notice(Panel& panel, const OperatorText& text) {
    QLabel* label = panel.station_notice;
    if (!label) return;
    show_plain(label, text.empty() ? QString() : translated(text));
    label->setVisible(!text.empty());
    if (panel.widget) keep_rows_apart(panel.widget.get());
  }

  Control* find(int panel, int control) {
    auto p = panels.find(panel);
    if (p == panels.end()) return nullptr;
    auto c = p->second.controls.find(control);
    if (c == p->second.controls.end() || !c->second.widget) return nullptr;
    return &c->second;
  }

  QWidget* widget(int panel, int control) {
    Control* c = find(panel, control);
    return c ? c->widget.data() : nullptr;
  }

  void commit(int panel, int control) {
    if (input_closed) return;  // a callback is running: one at a time
    Control* c = find(panel, control);
    if (!c || !c->callback) return;
    const CtrlCallback callback = c->callback;
    FlagSetting closed(input_closed, true);
    callback(panel, control, kEventCommit, nullptr, 0, 0);
    // Input that came while the callback ran is stale: deliver it now, to be
    // dropped, instead of replaying it after the run.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }

  void quit_all_loops() {
    for (Loop& l : loops) {
      if (!l.quit_requested) {
        l.quit_requested = true;
        l.loop->exit(0);
      }
    }
  }

  // The number fields of a panel in focus order; Enter moves along them.
  static std::vector<QWidget*> number_fields(QWidget* panel) {
    std::vector<QWidget*> fields;
    QWidget* w = panel->nextInFocusChain();
    while (w && w != panel) {
      if (qobject_cast<QAbstractSpinBox*>(w) && w->property(kControlProperty).isValid() &&
          panel->isAncestorOf(w)) {
        fields.push_back(w);
      }
      w = w->nextInFocusChain();
    }
    return fields;
  }

  static void focus_next_field(QWidget* from) {
    QWidget* panel = from->window();
    const std::vector<QWidget*> fields = number_fields(panel);
    bool after = false;
    for (QWidget* w : fields) {
      if (after && w->isVisibleTo(panel) && w->isEnabled()) {
        w->setFocus(Qt::TabFocusReason);
        return;
      }
      if (w == from) after = true;
    }
  }

  bool on_enter_in_field(QAbstractSpinBox* field) {
    const int panel = field->property(kHandleProperty).toInt();
    const int control = field->property(kControlProperty).toInt();
    {
      // The typed text becomes the value; the commit below is the one event.
      QSignalBlocker quiet(field);
      field->interpretText();
    }
    QPointer<QAbstractSpinBox> guard(field);
    commit(panel, control);
    if (guard && guard->hasFocus()) focus_next_field(guard);
    return true;
  }

  bool filter(QObject* object, QEvent* event) {
    if (input_closed && is_input_event(event->type())) return true;
    if (!object->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(object);
    if (event->type() == QEvent::Close && w->property(kPanelProperty).isValid() &&
        w->property(kHandleProperty).isValid()) {
      // Closing a panel's window ends the tool as Exit does, but never in
      // the middle of a run.
      event->ignore();
      if (!input_closed) quit_all_loops();
      return true;
    }
    if ((event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize) &&
        w->isWindow() && w->property(kPanelProperty).isValid() &&
        w->property(kHandleProperty).isValid()) {
      keep_rows_apart(w);
      return false;
    }
    if (!w->property(kHandleProperty).isValid() || !w->property(kControlProperty).isValid()) {
      return false;
    }
    if (auto* field = qobject_cast<QAbstractSpinBox*>(w)) {
      if (event->type() == QEvent::FocusIn) {
        // Typing replaces the value rather than adding to it.
        QTimer::singleShot(0, field, [field] { field->selectAll(); });
      } else if (is_enter(event)) {
        return on_enter_in_field(field);
      }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (is_enter(event)) {
        button->click();
        return true;
      }
    } else if (qobject_cast<QLineEdit*>(w) && is_enter(event)) {
      // A text field's Enter (a barcode scanner ends with it) is its commit.
      commit(w->property(kHandleProperty).toInt(), w->property(kControlProperty).toInt());
      return true;
    }
    return false;
  }

  void connect_callback(int handle, int number, QWidget* w) {
    auto run = [this, handle, number] { commit(handle, number); };
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      QObject::connect(button, &QAbstractButton::clicked, &event_filter, run);
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
      if (w->property(kCommitOnChangeProperty).toBool()) {
        QObject::connect(spin, &QSpinBox::valueChanged, &event_filter, run);
      }
    }
  }
};

QtPanels::QtPanels() : state_(std::make_unique<State>()) {}
QtPanels::~QtPanels() = default;

void QtPanels::record_popups_only(bool record_only) {
  state_->record_popups_only = record_only;
}

const std::vector<QtPanels::Popup>& QtPanels::popups() const {
  return state_->popups;
}

QWidget* QtPanels::panel_widget(int panel) const {
  auto p = state_->panels.find(panel);
  return p == state_->panels.end() ? nullptr : p->second.widget.get();
}

QWidget* QtPanels::control_widget(int panel, int control) const {
  return state_->widget(panel, control);
}

bool QtPanels::input_blocked() const {
  return state_->input_closed;
}

namespace {

// The loader trusts the panel file's class names: a layout or widget class it
// does not know (a typo in a hand-edited file) leaves it with nothing where it
// expects an object, and the process crashes. Such a file is refused with
// the line of the fault instead.
std::string unknown_class_in(QIODevice& device, QUiLoader& loader) {
  const QStringList widgets = loader.availableWidgets();
  const QStringList layouts = loader.availableLayouts();
  QXmlStreamReader xml(&device);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const auto name = xml.name();
    if (name != QLatin1String("widget") && name != QLatin1String("layout")) continue;
    const QString cls = xml.attributes().value(QLatin1String("class")).toString();
    const bool layout = name == QLatin1String("layout");
    if (!(layout ? layouts : widgets).contains(cls)) {
      return "line " + std::to_string(xml.lineNumber()) + ": unknown " +
             (layout ? "layout" : "widget") + " class \"" + cls.toStdString() + "\"";
    }
  }
  if (xml.hasError()) {
    return "line " + std::to_string(xml.lineNumber()) +
           ": XML error: " + xml.errorString().toStdString();
  }
  return "";
}

}  // namespace

int QtPanels::load_panel(int, const std::string& file, int panel_number) {
  State& s = *state_;
  const auto fail = [&s, &file](const std::string& why) {
    s.error = file + ": " + why;
    return -1;
  };
  QFile f(QString::fromStdString(file));
  if (!f.open(QIODevice::ReadOnly)) return fail(f.errorString().toStdString());
  QUiLoader loader;
  // The panel file's texts in the operator's language: the loader looks each
  // up in the context of the file's top class ("PanelFile"), where lupdate
  // puts them.
  loader.setTranslationEnabled(true);
  loader.setLanguageChangeEnabled(true);
  if (const std::string fault = unknown_class_in(f, loader); !fault.empty()) return fail(fault);
  f.seek(0);
  std::unique_ptr<QWidget> form(loader.load(&f));
  if (!form) return fail(loader.errorString().toStdString());

  QWidget* panel = nullptr;
  if (form->property(kPanelProperty).toInt() == panel_number) panel = form.get();
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!panel && w->property(kPanelProperty).toInt() == panel_number) panel = w;
  }
  if (!panel) return fail("there is no panel " + std::to_string(panel_number));

  State::Panel loaded;
  for (QWidget* w : panel->findChildren<QWidget*>()) {
    const QVariant number = w->property(kControlProperty);
    if (!number.isValid()) continue;
    bool ok = false;
    const int n = number.toInt(&ok);
    const std::string where = "panel " + std::to_string(panel_number) + ", control ";
    if (!ok) return fail(where + "\"" + number.toString().toStdString() + "\" is not a number");
    if (loaded.controls.count(n)) return fail(where + std::to_string(n) + " appears twice");
    State::Control c;
    c.widget = w;
    const QVariant callback = w->property(kCallbackProperty);
    if (callback.isValid() && !callback.toString().isEmpty()) {
      const std::string name = callback.toString().toStdString();
      c.callback = find_callback(name);
      if (!c.callback) {
        return fail(where + std::to_string(n) + " names the callback \"" + name +
                    "\", which this program does not have");
      }
    }
    loaded.controls.emplace(n, std::move(c));
  }

  const int handle = s.next_handle++;
  if (panel == form.get()) {
    loaded.widget = std::move(form);
  } else {
    panel->setParent(nullptr, Qt::Window);
    loaded.widget.reset(panel);
  }
  panel->setProperty(kHandleProperty, handle);
  for (auto& [number, c] : loaded.controls) {
    c.widget->setProperty(kHandleProperty, handle);
    if (c.callback) s.connect_callback(handle, number, c.widget);
  }
  // The station's notice at the panel's foot, below whatever the panel file
  // lays out, so that a restyled panel file shows it too.
  if (QLayout* layout = panel->layout()) {
    auto* notice = new QLabel;
    notice->setObjectName("stationNotice");
    notice->setWordWrap(true);
    notice->setStyleSheet("color: #A00000; font-weight: bold;");
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
      grid->addWidget(notice, grid->rowCount(), 0, 1, -1);
    } else {
      layout->addWidget(notice);
    }
    loaded.station_notice = notice;
    State::show_notice(loaded, s.station_notice);
  }
  s.panels.emplace(handle, std::move(loaded));
  return handle;
}

void QtPanels::show_station_notice(const OperatorText& text) {
  state_->station_notice = text;
  for (auto& [handle, panel] : state_->panels) State::show_notice(panel, text);
}

QWidget* QtPanels::station_notice_widget(int panel) const {
  auto p = state_->panels.find(panel);
  return p == state_->panels.end() ? nullptr : p->second.station_notice.data();
}

int QtPanels::display_panel(int panel) {
  auto p = state_->panels.find(panel);
  if (p == state_->panels.end()) return -1;
  QWidget* w = p->second.widget.get();
  w->show();
  w->raise();
  w->activateWindow();
  for (auto& [number, c] : p->second.controls) {
    if (c.widget && c.widget->property(kStartFocusProperty).toBool()) {
      c.widget->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
  return 0;
}

int QtPanels::discard_panel(int panel) {
  auto p = state_->panels.find(panel);
  if (p == state_->panels.end()) return -1;
  p->second.widget->hide();
  state_->discarded.push_back(std::move(p->second.widget));
  state_->panels.erase(p);
  return 0;
}

int QtPanels::run_user_interface() {
  QEventLoop loop;
  state_->loops.push_back({&loop, false});
  {
    FlagSetting open(state_->input_closed, false);
    loop.exec();
  }
  state_->loops.pop_back();
  return 0;
}

void QtPanels::quit_user_interface(int code) {
  for (auto l = state_->loops.rbegin(); l != state_->loops.rend(); ++l) {
    if (!l->quit_requested) {
      l->quit_requested = true;
      l->loop->exit(code);
      return;
    }
  }
}

std::string QtPanels::last_error() {
  return state_->error;
}

std::string QtPanels::value(int panel, int control) {
  QWidget* w = state_->widget(panel, control);
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return std::to_string(spin->value());
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
  if (auto* text = qobject_cast<QPlainTextEdit*>(w)) return text->toPlainText().toStdString();
  return {};
}

void QtPanels::set_value(int panel, int control, const std::string& text) {
  QWidget* w = state_->widget(panel, control);
  const QString q = QString::fromStdString(text);
  if (auto* spin = qobject_cast<QSpinBox*>(w)) {
    QSignalBlocker quiet(spin);  // setting a value is no operator's commit
    spin->setValue(q.toInt());
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    show_plain(label, q);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(q);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(q);
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
    box->setPlainText(q);
  }
}

void QtPanels::insert_text_box_line(int panel, int control, int index, const std::string& text) {
  State::Control* c = state_->find(panel, control);
  if (!c) return;
  auto* box = qobject_cast<QPlainTextEdit*>(c->widget.data());
  if (index < 0 || static_cast<std::size_t>(index) >= c->lines.size()) {
    c->lines.push_back(text);
    if (box) box->appendPlainText(QString::fromStdString(text));
    return;
  }
  c->lines.insert(c->lines.begin() + index, text);
  if (box) {
    QStringList all;
    for (const std::string& line : c->lines) all << QString::fromStdString(line);
    box->setPlainText(all.join('\n'));
  }
}

void QtPanels::reset_text_box(int panel, int control) {
  State::Control* c = state_->find(panel, control);
  if (!c) return;
  c->lines.clear();
  if (auto* box = qobject_cast<QPlainTextEdit*>(c->widget.data())) box->clear();
}

int QtPanels::num_text_box_lines(int panel, int control) {
  State::Control* c = state_->find(panel, control);
  return c ? static_cast<int>(c->lines.size()) : 0;
}

std::string QtPanels::text_box_line(int panel, int control, int index) {
  State::Control* c = state_->find(panel, control);
  if (!c || index < 0 || static_cast<std::size_t>(index) >= c->lines.size()) return {};
  return c->lines[static_cast<std::size_t>(index)];
}

void QtPanels::set_attribute(int panel, int control, int attribute, int value) {
  State::Control* c = state_->find(panel, control);
  if (!c) return;
  QWidget* w = c->widget;
  c->attributes[attribute] = value;
  if (attribute == kAttrVisible) {
    w->setVisible(value != 0);
    // A field's caption comes and goes with it.
    for (QLabel* label : w->window()->findChildren<QLabel*>()) {
      if (label->buddy() == w) label->setVisible(value != 0);
    }
  } else if (attribute == kAttrBackColor) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, rgb(value));
    palette.setColor(QPalette::Window, rgb(value));
    w->setPalette(palette);
  } else if (attribute == kAttrFirstVisibleLine) {
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) box->verticalScrollBar()->setValue(value);
  }
}

int QtPanels::attribute(int panel, int control, int attribute) {
  State::Control* c = state_->find(panel, control);
  if (!c) return 0;
  if (attribute == kAttrVisible) return c->widget->isHidden() ? 0 : 1;
  if (attribute == kAttrFirstVisibleLine) {
    if (auto* box = qobject_cast<QPlainTextEdit*>(c->widget.data())) {
      return box->verticalScrollBar()->value();
    }
  }
  auto a = c->attributes.find(attribute);
  return a == c->attributes.end() ? 0 : a->second;
}

namespace {

void show_box(bool error, const QString& title, const QString& message) {
  QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information, title, message,
                  QMessageBox::Ok, QApplication::activeWindow());
  // A file name, a serial or a handset's answer in the message is shown as
  // it was typed, never read as markup.
  box.setTextFormat(Qt::PlainText);
  // Ours, so that a language without Qt's own translations has it too.
  box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("ffsload::MessageBox", "OK"));
  box.exec();
}

}  // namespace

void QtPanels::message_popup(const std::string& title, const std::string& message) {
  state_->popups.push_back({title, message});
  if (state_->record_popups_only) return;
  FlagSetting open(state_->input_closed, false);  // the operator must close the box
  show_box(title == "Error", QString::fromStdString(title), QString::fromStdString(message));
}

int QtPanels::confirm_popup(const std::string& title, const std::string& message) {
  FlagSetting open(state_->input_closed, false);  // the operator must answer
  return ask_yes_no(QApplication::activeWindow(), QString::fromStdString(title),
                    QString::fromStdString(message));
}

void QtPanels::show_message(const OperatorText& title, const OperatorText& message) {
  state_->popups.push_back({title.english(), message.english()});
  if (state_->record_popups_only) return;
  FlagSetting open(state_->input_closed, false);  // the operator must close the box
  show_box(title.id == "title.error", translated(title), translated(message));
}

int QtPanels::ask_question(const OperatorText& title, const OperatorText& question) {
  FlagSetting open(state_->input_closed, false);  // the operator must answer
  return ask_yes_no(QApplication::activeWindow(), translated(title), translated(question));
}

void QtPanels::set_text(int panel, int control, const std::vector<OperatorText>& lines) {
  QWidget* w = state_->widget(panel, control);
  if (!w) return;
  // The control shows the operator's language; the callbacks read back
  // what they set only from text boxes, whose lines stay as written.
  const QString text = translated(lines);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    show_plain(label, text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else {
    std::string english;
    for (const OperatorText& line : lines)
      english += (english.empty() ? "" : "\n") + line.english();
    set_value(panel, control, english);
  }
}

void QtPanels::run_modal(const std::function<void()>& show) {
  FlagSetting open(state_->input_closed, false);  // the operator must close the window
  show();
}

void QtPanels::show_run_state(int panel, int control, RunState state) {
  if (auto* label = qobject_cast<QLabel*>(state_->widget(panel, control))) {
    show_run_state_on(label, state, kRunPanelCapHeightPx);
  } else if (!state_->told_no_state_control) {
    // A restyled panel file from before the state: the runs go on, told by
    // the log's colour alone, and the station's log says why.
    state_->told_no_state_control = true;
    std::fprintf(stderr,
                 "ffsload: the panel file has no label for the run's state (control %d): the "
                 "result shows by the run log's colour alone\n",
                 control);
  }
}

void QtPanels::set_active_control(int panel, int control) {
  QWidget* w = state_->widget(panel, control);
  if (!w) return;
  w->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
}

void QtPanels::process_draw_events() {
  // Painting and the like only: the operator's input waits, to be dropped
  // when the callback ends.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace platform
