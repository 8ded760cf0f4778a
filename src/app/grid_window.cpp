#include "app/grid_window.h"

#include <signal.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "app/gui_language.h"
#include "app/sender_notice.h"
#include "cli/cfx_sender_child.h"
#include "cli/run_command.h"
#include "multiport/station_grid.h"
#include "platform/display.h"
#include "platform/qt_operator_text.h"
#include "platform/qt_run_state.h"
#include "platform/qt_sounds.h"
#include "platform/stop_signals.h"
#include "station/customer_choice.h"
#include "station/customer_definition.h"

namespace {

// The run panel's colours, so that a tile reads as the single station does.
const char* colour_name(multiport::TileColour colour) {
  switch (colour) {
    case multiport::TileColour::kYellow:
      return "#FFFF00";
    case multiport::TileColour::kGreen:
      return "#00FF00";
    case multiport::TileColour::kRed:
      return "#FF0000";
    case multiport::TileColour::kWhite:
      break;
  }
  return "#FFFFFF";
}

QString text(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A label for what the station and its children tell (serials, operator
// ids, the MA_NO, notices quoting them): shown as typed, never as markup, so
// that "<b>SN2</b><!--" in a serial cannot hide the IMEI or the question.
QLabel* plain_label() {
  auto* label = new QLabel;
  label->setTextFormat(Qt::PlainText);
  return label;
}

// The operator field's hint is the only prompt before the first scan, and
// the translations are longer than the English: the field is made wide
// enough for the whole hint. Its size hint is room for 17 "x" plus its frame
// and margins (as its style draws them once polished): the frame and margins
// are kept, the text is the hint.
void fit_hint(QLineEdit* field) {
  const QFontMetrics metrics = field->fontMetrics();
  const int some = field->sizeHint().width();
  const int around = some - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
  // The hint is drawn clear of the font's largest left overhang, and elided
  // when a pixel short: both are counted.
  const int overhang = std::max(0, -metrics.minLeftBearing());
  field->setMinimumWidth(
      std::max(some, around + overhang + metrics.horizontalAdvance(field->placeholderText()) + 1));
}

// How often the children's output is fetched: quick enough for a log that
// scrolls as it comes, rare enough to leave the machine to the runs.
constexpr int kPollIntervalMs = 40;

}  // namespace

GridWindow::GridWindow(multiport::StationGrid& grid, const std::vector<std::string>& problems)
    : grid_(grid) {
  setWindowTitle(tr("ffsload: station grid"));
  setStyleSheet(
      "QFrame#tile { border: 2px solid #B0B0B0; border-radius: 4px; }"
      "QFrame#tile:focus { border: 3px solid #2060D0; }"
      "QFrame#question { background: #FFF4C0; border: 2px solid #C08000; border-radius: 4px; }");
  auto* layout = new QVBoxLayout(this);

  // The customer, once for the whole grid, with the selection panel's rules.
  index_qm_ = station::read_index_qm().value_or(0);
  auto* row = new QHBoxLayout;
  auto* customer_caption = new QLabel(tr("&Customer:"));
  customer_ = new QSpinBox;
  customer_->setRange(-128, 127);
  customer_caption->setBuddy(customer_);
  sub_number_label_ = new QLabel(tr("Sub-number:"));
  sub_number_ = new QSpinBox;
  sub_number_->setRange(0, 9);
  customer_label_ = plain_label();
  customer_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  run_all_ = new QPushButton(tr("Run &all"));
  auto* exit_button = new QPushButton(tr("E&xit"));
  for (QWidget* w : {static_cast<QWidget*>(customer_caption), static_cast<QWidget*>(customer_),
                     static_cast<QWidget*>(sub_number_label_), static_cast<QWidget*>(sub_number_),
                     static_cast<QWidget*>(customer_label_)})
    row->addWidget(w);
  const station::StationSettings& settings = grid_.settings();
  QHBoxLayout* operator_row = nullptr;
  if (settings.operator_id != station::Asking::kOff) {
    // Asked once for the grid: a badge scan or typing, then Enter.
    auto* caption = new QLabel(tr("&Operator:"));
    operator_ = new QLineEdit;
    operator_->setMaxLength(256);
    operator_->setPlaceholderText(tr("scan your badge or type your id, Enter"));
    fit_hint(operator_);
    if (grid_.operator_id()) operator_->setText(text(*grid_.operator_id()));
    caption->setBuddy(operator_);
    // A row of its own: beside the customer's script and MA_NO the hint
    // would be squeezed again on a narrow screen.
    operator_row = new QHBoxLayout;
    operator_row->addWidget(caption);
    operator_row->addWidget(operator_);
    operator_row->addStretch(1);
    connect(operator_, &QLineEdit::returnPressed, this, [this] { take_operator(); });
    operator_->installEventFilter(this);
  }
  row->addStretch(1);
  row->addWidget(run_all_);
  row->addWidget(exit_button);
  layout->addLayout(row);
  if (operator_row) {
    layout->addLayout(operator_row);
    setTabOrder(sub_number_, operator_);  // Tab goes on from the customer as before
  }
  if (grid_.customer_chosen()) {
    if (auto key = station::parse_customer_key(grid_.customer().key)) {
      customer_->setValue(key->first);
      sub_number_->setValue(key->second);
    }
  }
  connect(customer_, &QSpinBox::editingFinished, this, [this] { choose_customer(); });
  connect(sub_number_, &QSpinBox::editingFinished, this, [this] { choose_customer(); });
  connect(customer_, &QSpinBox::valueChanged, this, [this] { refresh_controls(); });
  connect(run_all_, &QPushButton::clicked, this, [this] { grid_.run_all(); });
  connect(exit_button, &QPushButton::clicked, this, [this] { close(); });

  status_ = plain_label();
  status_->setWordWrap(true);
  std::string problem_text;
  for (const auto& p : problems) problem_text += (problem_text.empty() ? "" : "\n") + p;
  status_->setText(platform::translated_english(problem_text));
  status_->setStyleSheet("color: #A00000;");
  status_->setVisible(!problems.empty());
  layout->addWidget(status_);
  station_notice_ = plain_label();
  station_notice_->setObjectName("stationNotice");
  station_notice_->setWordWrap(true);
  station_notice_->setStyleSheet("color: #A00000; font-weight: bold;");
  station_notice_->setVisible(false);
  layout->addWidget(station_notice_);

  auto* tiles = new QGridLayout;
  const int count = static_cast<int>(grid_.tiles().size());
  const int columns = count <= 4 ? count : (count + 1) / 2;
  int index = 0;
  for (const multiport::GridTile& t : grid_.tiles()) {
    const int port = t.port();
    TileWidgets w;
    auto* frame = new QFrame;
    frame->setObjectName("tile");
    frame->setFocusPolicy(Qt::StrongFocus);
    frame->installEventFilter(this);
    auto* box = new QVBoxLayout(frame);
    auto* head = new QHBoxLayout;
    w.title =
        new QLabel(tr("<b>Port %1</b><br>%2").arg(port).arg(text(t.device()).toHtmlEscaped()));
    w.title->setTextFormat(Qt::RichText);
    w.title->setToolTip(text(t.device()));
    // A long device name is cut rather than widening every tile: eight tiles
    // fit a small screen, and the tooltip holds the whole name.
    w.title->setMinimumWidth(60);
    w.run = new QPushButton(tr("Run"));
    w.save = new QPushButton(tr("Save"));
    // Tab walks the tiles; the buttons are for the mouse (Enter and Ctrl+S
    // do the same on a focused tile).
    w.run->setFocusPolicy(Qt::NoFocus);
    w.save->setFocusPolicy(Qt::NoFocus);
    head->addWidget(w.title, 1);
    head->addWidget(w.run);
    head->addWidget(w.save);
    box->addLayout(head);
    // Legible from the fixture however many tiles share the screen: at
    // least this cap height, at most the run panel's.
    constexpr int kLeastTileCapPx = 16;
    w.state = new platform::RunStateLabel(kLeastTileCapPx, platform::kRunPanelCapHeightPx);
    box->addWidget(w.state);
    w.log = new QPlainTextEdit;
    w.log->setReadOnly(true);
    w.log->setFocusPolicy(Qt::NoFocus);
    w.log->setLineWrapMode(QPlainTextEdit::NoWrap);
    w.log->setMinimumSize(200, 140);
    box->addWidget(w.log, 1);
    auto* foot = new QHBoxLayout;
    w.elapsed = plain_label();
    w.counts = plain_label();
    foot->addWidget(w.elapsed);
    foot->addStretch(1);
    foot->addWidget(w.counts);
    box->addLayout(foot);
    w.message = plain_label();
    w.message->setWordWrap(true);
    w.message->setStyleSheet("color: #A00000;");
    box->addWidget(w.message);
    // The pending-IMEI question. Neither button is a default and neither
    // takes the focus, so Enter on the tile (Run) never answers it; the
    // operator clicks, or presses Y or N on the focused tile.
    w.question_box = new QFrame;
    w.question_box->setObjectName("question");
    auto* ask = new QVBoxLayout(w.question_box);
    w.question = plain_label();
    w.question->setWordWrap(true);
    ask->addWidget(w.question);
    auto* choices = new QHBoxLayout;
    choices->addWidget(new QLabel(tr("Y or N, or click:")), 1);
    w.yes = new QPushButton(tr("Yes"));
    w.no = new QPushButton(tr("No"));
    for (QPushButton* b : {w.yes, w.no}) {
      b->setFocusPolicy(Qt::NoFocus);
      b->setAutoDefault(false);
      b->setDefault(false);
      choices->addWidget(b);
    }
    ask->addLayout(choices);
    w.question_box->setVisible(false);
    box->addWidget(w.question_box);
    if (settings.unit_serial != station::Asking::kOff) {
      w.unit = new QLineEdit;
      w.unit->setMaxLength(256);
      w.unit->setPlaceholderText(tr("scan the unit, or type its serial and Enter"));
      box->insertWidget(1, w.unit);
      connect(w.unit, &QLineEdit::returnPressed, this, [this, port] { scan(port); });
      // Y and N answer the tile's question from its unit field too.
      w.unit->installEventFilter(this);
    }
    w.unit_status = plain_label();
    w.unit_status->setWordWrap(true);
    w.unit_status->setVisible(false);
    box->insertWidget(w.unit ? 2 : 1, w.unit_status);
    w.alarm = plain_label();
    w.alarm->setWordWrap(true);
    w.alarm->setStyleSheet(
        "background-color: #c62828; color: white; font-weight: bold; padding: 4px;");
    w.alarm->setVisible(false);
    box->addWidget(w.alarm);
    w.frame = frame;
    connect(w.run, &QPushButton::clicked, this, [this, port] { grid_.run(port); });
    connect(w.save, &QPushButton::clicked, this, [this, port] { save(port); });
    connect(w.yes, &QPushButton::clicked, this, [this, port] { answer(port, true); });
    connect(w.no, &QPushButton::clicked, this, [this, port] { answer(port, false); });
    tiles->addWidget(frame, index / columns, index % columns);
    tiles_[port] = w;
    ++index;
  }
  layout->addLayout(tiles, 1);
  QWidget* previous = sub_number_;
  if (operator_) {
    setTabOrder(previous, operator_);
    previous = operator_;
  }
  for (auto& [port, w] : tiles_) {
    setTabOrder(previous, w.frame);
    previous = w.frame;
    if (w.unit) {
      setTabOrder(previous, w.unit);
      previous = w.unit;
    }
  }
  resize(columns <= 2 ? 640 : 1000, count <= 4 && columns <= 2 ? 420 : 700);

  grid_.on_change([this](int port) {
    refresh(port);
    refresh_controls();
  });
  for (const auto& t : grid_.tiles()) refresh(t.port());
  if (grid_.customer_chosen()) {
    customer_label_->setText(customer_text());
  } else {
    customer_label_->setText(tr("type the customer number and press Enter"));
  }
  refresh_controls();
  // The keyboard starts where the operator does: the customer, or once one
  // is chosen, the first tile.
  if (operator_ && !grid_.operator_id()) {
    operator_->setFocus();
  } else if (grid_.customer_chosen() && !tiles_.empty()) {
    QWidget* first = tiles_.begin()->second.unit;
    (first ? first : tiles_.begin()->second.frame)->setFocus();
  } else {
    customer_->setFocus();
    customer_->selectAll();
  }

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_->start(kPollIntervalMs);
}

QString GridWindow::customer_text() const {
  return tr("script %1, MA_NO \"%2\"")
      .arg(text(grid_.customer().script), text(grid_.customer().ma_no));
}

void GridWindow::poll() {
  if (platform::stop_signal_count() > stop_signals_seen_) {
    stop_signals_seen_ = platform::stop_signal_count();
    close();
  }
  grid_.poll(0);
  if (grid_.closing() && grid_.finished()) {
    timer_->stop();
    close();
  }
}

void GridWindow::refresh(int port) {
  auto found = tiles_.find(port);
  const multiport::GridTile* t = grid_.tile(port);
  if (found == tiles_.end() || !t) return;
  TileWidgets& w = found->second;
  const auto& lines = t->log();
  if (static_cast<int>(lines.size()) < w.lines_shown) {
    w.log->clear();
    w.lines_shown = 0;
  }
  for (; w.lines_shown < static_cast<int>(lines.size()); ++w.lines_shown)
    w.log->appendPlainText(text(lines[static_cast<std::size_t>(w.lines_shown)]));
  w.log->setStyleSheet(
      QString("QPlainTextEdit { background: %1; color: black; }").arg(colour_name(t->colour())));
  w.state->set_state(t->state());
  const bool running = t->stage() == multiport::TileStage::kRunning;
  const bool asking = !t->question().empty();
  w.elapsed->setText(asking                 ? tr("waiting for your answer")
                     : running              ? tr("running")
                     : t->elapsed().empty() ? QString()
                                            : tr("elapsed %1 s").arg(text(t->elapsed())));
  w.counts->setText(tr("runs %1   green %2   red %3").arg(t->runs()).arg(t->green()).arg(t->red()));
  // The port's child tells these in English: each line the catalogue knows
  // is shown in the operator's language.
  w.message->setText(platform::translated_english(t->message()));
  w.message->setVisible(!t->message().empty());
  w.question->setText(platform::translated_english(t->question()));
  w.question_box->setVisible(asking);
  w.unit_status->setText(platform::translated_english(t->unit_status()));
  w.unit_status->setVisible(!t->unit_status().empty());
  w.alarm->setText(platform::translated_english(t->fixture_alarm()));
  w.alarm->setVisible(!t->fixture_alarm().empty());
}

void GridWindow::scan(int port) {
  TileWidgets& w = tiles_.at(port);
  const multiport::GridTile* t = grid_.tile(port);
  const std::string typed = w.unit->text().trimmed().toStdString();
  if (t && t->stage() == multiport::TileStage::kRunning) {
    // Never kept for the next unit: the operator scans it again when the run is over.
    w.unit->clear();
    return;
  }
  if (grid_.run(port, typed.empty() ? std::nullopt : std::optional<std::string>(typed))) {
    w.unit->clear();
  } else {
    w.unit->selectAll();  // refused: the next scan replaces it
  }
}

void GridWindow::take_operator() {
  std::string error;
  if (grid_.set_operator(operator_->text().trimmed().toStdString(), &error)) {
    status_->setVisible(false);
    operator_->setModified(false);  // taken: Y and N may answer from here
    if (grid_.customer_chosen() && !tiles_.empty()) {
      QWidget* first = tiles_.begin()->second.unit;
      (first ? first : tiles_.begin()->second.frame)->setFocus();
    } else {
      customer_->setFocus();
      customer_->selectAll();
    }
  } else {
    status_->setStyleSheet("color: #A00000;");
    status_->setText(tr("Operator: %1").arg(platform::translated_english(error)));
    status_->setVisible(true);
    operator_->selectAll();
  }
}

void GridWindow::refresh_controls() {
  const bool chosen = grid_.customer_chosen() && !grid_.closing();
  const bool busy = grid_.any_run_under_way();
  for (auto& [port, w] : tiles_) {
    const multiport::GridTile* t = grid_.tile(port);
    w.run->setEnabled(chosen && t && t->stage() != multiport::TileStage::kRunning);
    w.save->setEnabled(t && !t->log().empty());
  }
  run_all_->setEnabled(chosen);
  customer_->setEnabled(!busy && !grid_.closing());
  sub_number_->setEnabled(!busy && !grid_.closing());
  const bool qm = customer_->value() == index_qm_;
  sub_number_label_->setVisible(qm);
  sub_number_->setVisible(qm);
}

void GridWindow::choose_customer() {
  if (grid_.closing()) return;
  std::string error;
  const std::string before = grid_.customer_chosen() ? grid_.customer().key : "";
  // The choice reads "custdefine" again; so does the sub-number's control.
  index_qm_ = station::read_index_qm().value_or(index_qm_);
  if (grid_.choose_customer(customer_->value(), sub_number_->value(), &error)) {
    customer_label_->setStyleSheet("");
    customer_label_->setText(customer_text());
    // Enter on the customer leads on to the first tile, ready for Run.
    if (grid_.customer().key != before && !tiles_.empty() &&
        QApplication::focusWidget() == customer_) {
      QWidget* first = tiles_.begin()->second.unit;
      (first ? first : tiles_.begin()->second.frame)->setFocus();
    }
  } else {
    customer_label_->setStyleSheet("color: #A00000;");
    customer_label_->setText(tr("Error: %1").arg(platform::translated_english(error)));
  }
  refresh_controls();
}

void GridWindow::answer(int port, bool yes) {
  grid_.answer(port, yes);
}

void GridWindow::save(int port) {
  const run::SavedLog saved = grid_.save(port);
  TileWidgets& w = tiles_.at(port);
  if (saved.saved) {
    w.message->setText(tr("log saved to %1").arg(text(saved.name)));
  } else {
    w.message->setText(
        tr("Error: cannot write the run log file %1: %2").arg(text(saved.name), text(saved.error)));
  }
  w.message->setVisible(true);
}

bool GridWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == operator_ &&
      (event->type() == QEvent::Polish || event->type() == QEvent::FontChange ||
       event->type() == QEvent::StyleChange)) {
    fit_hint(operator_);
  }
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool yes_or_no =
      key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Y || key->key() == Qt::Key_N);
  const auto asks = [this](int port) {
    const multiport::GridTile* t = grid_.tile(port);
    return t && !t->question().empty();
  };
  if (watched == operator_) {
    // The operator field is no tile's: Y and N answer there only when one
    // tile asks and the field holds the id as it was taken, not one being
    // typed (a badge scan goes on into the field).
    if (!yes_or_no || operator_->isModified()) return QWidget::eventFilter(watched, event);
    int asking = 0;
    int only = 0;
    for (const auto& [port, w] : tiles_) {
      if (asks(port)) {
        ++asking;
        only = port;
      }
    }
    if (asking != 1) return QWidget::eventFilter(watched, event);
    answer(only, key->key() == Qt::Key_Y);
    return true;
  }
  for (auto& [port, w] : tiles_) {
    if (watched == w.unit) {
      // While the tile asks, its run is under way and the field takes no
      // serial (scan() would drop it): Y and N answer, unless a serial is
      // already being typed there.
      if (yes_or_no && asks(port) && w.unit->text().isEmpty()) {
        answer(port, key->key() == Qt::Key_Y);
        return true;
      }
      break;
    }
    if (w.frame != watched) continue;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      grid_.run(port);
      return true;
    }
    if (key->key() == Qt::Key_S && key->modifiers() == Qt::ControlModifier) {
      save(port);
      return true;
    }
    if (yes_or_no && asks(port)) {
      answer(port, key->key() == Qt::Key_Y);
      return true;
    }
    break;
  }
  return QWidget::eventFilter(watched, event);
}

void GridWindow::show_station_notice(const platform::OperatorText& notice) {
  station_notice_->setText(notice.empty() ? QString() : platform::translated(notice));
  station_notice_->setVisible(!notice.empty());
}

void GridWindow::closeEvent(QCloseEvent* event) {
  if (grid_.finished()) {
    event->accept();
    return;
  }
  // Every child ends on its own terms first: a run under way stops only
  // where the handset is safe to leave.
  event->ignore();
  grid_.close();
  status_->setStyleSheet("");
  status_->setText(grid_.any_run_under_way()
                       ? tr("Closing: the runs under way stop after their current command (close "
                            "again to end them at once)")
                       : tr("Closing: the ports' processes are ending"));
  status_->setVisible(true);
  refresh_controls();
}

int run_grid_window(multiport::StationGrid& grid, const std::vector<std::string>& problems) {
  if (!platform::display_available()) {
    std::fprintf(stderr,
                 "ffsload: no display to show the grid on (DISPLAY is not set); "
                 "\"ffsload run --ports\" works without one\n");
    return cli::kExitNoRun;
  }
  static int argc = 1;
  static char name[] = "ffsload";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  install_translations();
  // Each tile's end and question is heard (StationGrid plays them), unless
  // the station has "sound = off".
  platform::QtSounds sounds;
  platform::set_sound_output(&sounds);
  platform::use_sounds(grid.settings().sound);
  multiport::catch_stop_signals();
  // The station's messages flow while the grid is open, and the operator
  // sees below the customer row when they cannot.
  cli::CfxSenderWhileOpen sender;
  GridWindow window(grid, problems);
  show_sender_notices(&window, sender, [&window](const platform::OperatorText& notice) {
    window.show_station_notice(notice);
  });
  window.show();
  QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
  app.exec();
  platform::set_sound_output(nullptr);
  return 0;
}
