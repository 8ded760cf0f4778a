// The station grid's window over Qt Widgets: a customer row, a tile per port
// (port and device, Run, Save, the run log in its colour, the seconds, the
// counts, a message, a pending-IMEI question with Yes and No) and Run all. Everything it shows
// comes from multiport::StationGrid; the window only draws it and forwards the operator's input.
#pragma once

#include <QCoreApplication>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace platform {
class RunStateLabel;
struct OperatorText;
}  // namespace platform

namespace multiport {
class StationGrid;
}

class GridWindow : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(GridWindow)

 public:
  GridWindow(multiport::StationGrid& grid, const std::vector<std::string>& problems);

  struct TileWidgets {
    QWidget* frame = nullptr;
    QLabel* title = nullptr;
    QPushButton* run = nullptr;
    QPushButton* save = nullptr;
    // The state as a word and a sign, as large as the tile allows.
    platform::RunStateLabel* state = nullptr;
    QPlainTextEdit* log = nullptr;
    QLabel* elapsed = nullptr;
    QLabel* counts = nullptr;
    QLabel* message = nullptr;
    QWidget* question_box = nullptr;  // shown while the port's child asks
    QLabel* question = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    // The unit's serial (scanned into the tile runs it), what the run told
    // of the unit or why a scan was refused, and the fixture alarm.
    QLineEdit* unit = nullptr;
    QLabel* unit_status = nullptr;
    QLabel* alarm = nullptr;
    int lines_shown = 0;
  };
  TileWidgets& tile(int port) { return tiles_.at(port); }
  QPushButton* run_all_button() { return run_all_; }
  QSpinBox* customer_box() { return customer_; }
  QSpinBox* sub_number_box() { return sub_number_; }
  QLabel* customer_label() { return customer_label_; }
  QLabel* status_label() { return status_; }
  QLabel* station_notice_label() { return station_notice_; }

  // What the operator must know of the station as a whole (its sender to the
  // factory's network cannot run), below the customer row; empty: hidden.
  void show_station_notice(const platform::OperatorText& notice);
  QLineEdit* operator_box() { return operator_; }

  // Asks the window to close as the operator's close does (a signal's way in).
  void request_close() { close(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void poll();
  void refresh(int port);
  void refresh_controls();
  void choose_customer();
  void save(int port);
  void answer(int port, bool yes);
  void scan(int port);
  void take_operator();
  QString customer_text() const;

  multiport::StationGrid& grid_;
  std::map<int, TileWidgets> tiles_;
  QSpinBox* customer_ = nullptr;
  QLabel* sub_number_label_ = nullptr;
  QSpinBox* sub_number_ = nullptr;
  QLabel* customer_label_ = nullptr;
  QPushButton* run_all_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* station_notice_ = nullptr;
  QLineEdit* operator_ = nullptr;
  QTimer* timer_ = nullptr;
  // The customer with sub-numbers ("qm" in "custdefine"), read when the window opens.
  int index_qm_ = 0;
  // Stop signals already handled (a signal asks the window to close).
  int stop_signals_seen_ = 0;
};

// The Qt application around the window; returns the exit status: 0 once the
// window has closed and every port's process has ended, 2 without a display.
int run_grid_window(multiport::StationGrid& grid, const std::vector<std::string>& problems);
