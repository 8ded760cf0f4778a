#include "app/report_window_qt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "app/gui_language.h"
#include "platform/qt_operator_text.h"

namespace {

QString report_text(const char* source) {
  return QCoreApplication::translate("ReportWindow", source);
}

QTableWidgetItem* cell(const QString& text, bool number) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

void show_report_window_qt(const std::vector<records::ReportRow>& rows,
                           const std::string& chart_svg, const std::string& title) {
  std::unique_ptr<QApplication> own_app;
  static int argc = 1;
  static char name[] = "ffsload";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) {
    own_app = std::make_unique<QApplication>(argc, argv);
    install_translations();
  }

  // The operator goes on with the keyboard where they were once the window
  // is closed: without a window manager nothing would give the focus back.
  const QPointer<QWidget> focus = QApplication::focusWidget();
  QDialog dialog(focus ? focus->window() : QApplication::activeWindow());
  dialog.setWindowTitle(platform::translated_english(title));
  auto* layout = new QVBoxLayout(&dialog);

  const QStringList headers = {
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Day")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Customer")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Runs")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Units")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "First-pass yield")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Final yield")),
      report_text(QT_TRANSLATE_NOOP("ReportWindow", "Most frequent failing line"))};
  auto* table =
      new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(headers.size()), &dialog);
  table->setHorizontalHeaderLabels(headers);
  table->verticalHeader()->setVisible(false);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const records::ReportRow& row = rows[static_cast<std::size_t>(r)];
    const auto yield = row.first_pass_percent();
    const auto final_yield = row.final_percent();
    const QString failing =
        row.failing_line ? report_text(QT_TRANSLATE_NOOP("ReportWindow", "line %1: %2 (%3 times)"))
                               .arg(*row.failing_line)
                               .arg(QString::fromStdString(row.failing_text))
                               .arg(row.failing_count)
                         : QString("-");
    table->setItem(r, 0, cell(QString::fromStdString(row.day), false));
    table->setItem(r, 1, cell(QString::fromStdString(row.customer), false));
    table->setItem(r, 2, cell(QString::number(row.runs), true));
    table->setItem(r, 3, cell(QString::number(row.units), true));
    table->setItem(r, 4, cell(yield ? QString("%1 %").arg(*yield, 0, 'f', 1) : "-", true));
    table->setItem(r, 5,
                   cell(final_yield ? QString("%1 %").arg(*final_yield, 0, 'f', 1) : "-", true));
    table->setItem(r, 6, cell(failing, false));
  }
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table);

  auto* chart = new QSvgWidget(&dialog);
  chart->load(QByteArray::fromStdString(chart_svg));
  // At the size it was drawn for: the chart is not made to be stretched.
  chart->setFixedSize(chart->renderer()->defaultSize());
  layout->addWidget(chart);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  buttons->button(QDialogButtonBox::Close)
      ->setText(report_text(QT_TRANSLATE_NOOP("ReportWindow", "Close")));
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(720, 640);
  dialog.exec();
  if (focus) {
    focus->window()->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
  }
}
