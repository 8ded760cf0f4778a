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

// The chart's own words in the operator's language. The chart is the one
// "ffsload report --chart" writes, whose file stays English; here its fixed
// texts are swapped in the window's copy only.
QByteArray translated_chart(const std::string& svg) {
  QString text = QString::fromStdString(svg);
  // Each as the chart writes it: a whole text element, or the start of one.
  const auto swap = [&text](const char* before, const char* source, const char* after) {
    text.replace(before + QString(source) + after,
                 before + report_text(source).toHtmlEscaped() + after);
  };
  swap(">", QT_TRANSLATE_NOOP("ReportWindow", "First-pass and final yield per day"), "<");
  swap(">", QT_TRANSLATE_NOOP("ReportWindow", "no runs"), "<");
  swap(">", QT_TRANSLATE_NOOP("ReportWindow", "final yield"), "<");
  swap(">", QT_TRANSLATE_NOOP("ReportWindow", "customer"), " ");
  return text.toUtf8();
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
  chart->load(translated_chart(chart_svg));
  // At the size it was drawn for: the chart is not made to be stretched.
  chart->setFixedSize(chart->renderer()->defaultSize());
  layout->addWidget(chart);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  buttons->button(QDialogButtonBox::Close)
      ->setText(report_text(QT_TRANSLATE_NOOP("ReportWindow", "Close")));
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  // Wide enough for the longest translated headers beside the failing line.
  dialog.resize(900, 640);
  dialog.exec();
  if (focus) {
    focus->window()->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
  }
}
