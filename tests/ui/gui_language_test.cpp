// The windows in the operator's language, on the offscreen platform: the
// language the station sets is installed at start, the panel file's texts
// come out of the loader translated, texts from below the windows are
// translated with their arguments, the Yes/No question too; a language
// without translations leaves English, never empty labels.
#include "app/gui_language.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "platform/qt_operator_text.h"
#include "platform/qt_panels.h"
#include "platform/user_interface.h"
#include "support/temp_dir.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"

namespace {

using testing_support::TempDir;

// Installs the station's language for one test and takes it away after.
class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::set_callback_table(ui::callback_table());
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
      unsetenv(name);
    }
  }
  void TearDown() override {
    platform::set_user_interface(nullptr);
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
      QCoreApplication::removeTranslator(t);
      delete t;
    }
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  std::string start_with(const std::string& conf) {
    TempDir::write("ffsload.conf", conf);
    return install_translations();
  }
  static QString label_text(QWidget* panel, const char* name) {
    auto* label = panel->findChild<QLabel*>(name);
    return label ? label->text() : QString("<no label %1>").arg(name);
  }

  TempDir dir_;
  std::vector<std::pair<std::string, std::string>> saved_;
};

QWidget* load(platform::QtPanels& panels, int number) {
  const int handle = panels.load_panel(0, FFSLOAD_PANEL_FILE, number);
  EXPECT_GT(handle, 0) << panels.last_error();
  return panels.panel_widget(handle);
}

}  // namespace

TEST_F(LanguageTest, the_station_setting_translates_the_panel_file_and_the_texts_from_below) {
  ASSERT_EQ(start_with("language = zh_CN\n"), "zh_CN");
  platform::QtPanels panels;
  QWidget* selection = load(panels, ui::kSelectionPanelNumber);
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(label_text(selection, "customerLabel"), QString::fromUtf8("客户编号(&C)"));
  EXPECT_EQ(selection->windowTitle(), QString::fromUtf8("ffsload：客户和端口"));
  // The callbacks' names are the program's, never translated: the panel
  // loaded above found every one of them.

  const platform::OperatorText cannot_open{"port.cannot_open", {"3", "No such device"}};
  EXPECT_EQ(platform::translated(cannot_open), QString::fromUtf8("无法打开端口 3：No such device"));
  // A child's English line (the grid's tiles) comes back translated, and a
  // line no text renders stays as it is.
  EXPECT_EQ(platform::translated_english(cannot_open.english() + "\nsomething else"),
            QString::fromUtf8("无法打开端口 3：No such device\nsomething else"));

  // Only the parts the catalogue puts in a sentence are translated; station
  // data that reads like one ("customer 9", "unit X") is shown as typed,
  // whether the text comes whole or as a child's English line.
  const platform::OperatorText conflict{"imei.conflict_serial",
                                        {"customer 9", "0102030405060708", "unit X"}};
  const QString conflict_shown = QString::fromUtf8(
      "这台手机扫描为产品 customer 9，但所指定的 IMEI 0102030405060708 是产品 unit X 的待恢复 "
      "IMEI：未做格式化。请扫描这台手机自己的序列号，或指定它自己的 IMEI");
  EXPECT_EQ(platform::translated(conflict), conflict_shown);
  EXPECT_EQ(platform::translated_english(conflict.english()), conflict_shown);
  EXPECT_EQ(platform::translated_english("customer 9"), "customer 9");
  const platform::OperatorText asked{
      "question.pending_imei_of_unit",
      {"3", "10:00", "unit customer 9", "0102030405060708"}};
  EXPECT_TRUE(platform::translated_english(asked.english())
                  .startsWith(QString::fromUtf8("端口 3 在 10:00（产品 customer 9）的运行")));
  // Several pending IMEIs in one place: each part translated, its data kept.
  const platform::OperatorText many{
      "imei.unanswered_many",
      {"2", "0102030405060708 (run at 10:00, unit customer 9); 1112131415161718 (run at 11:00)"}};
  EXPECT_TRUE(platform::translated(many).contains(QString::fromUtf8(
      "0102030405060708（运行于 10:00，产品 customer 9）; 1112131415161718（运行于 11:00）")))
      << platform::translated(many).toStdString();
}

TEST_F(LanguageTest, the_pending_imei_question_is_asked_in_each_language_with_its_imei_and_the_serial_as_typed) {
  ASSERT_EQ(start_with("language = vi\n"), "vi");
  platform::QtPanels panels;
  platform::set_user_interface(&panels);
  QString question;
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    for (auto* label : box->findChildren<QLabel*>()) question += label->text() + "\n";
    for (auto* b : box->findChildren<QAbstractButton*>()) buttons << b->text();
    for (auto* b : box->findChildren<QAbstractButton*>())
      if (b->text().contains("(&N)")) b->click();
  });
  const int answer = platform::ConfirmPopup(
      platform::OperatorText{"title.pending_imei", {}},
      platform::OperatorText{"question.pending_imei_of_unit",
                             {"3", "2026-12-08 14:02:11", "unit SN1", "53029910476543f1"}});
  EXPECT_EQ(answer, 0);
  EXPECT_TRUE(question.contains(
      QString::fromUtf8("Lượt chạy ở cổng 3 lúc 2026-12-08 14:02:11 (sản phẩm SN1) "
                        "đã dừng sau khi định dạng, trước khi ghi lại IMEI "
                        "53029910476543f1")))
      << question.toStdString();
  EXPECT_TRUE(question.contains(QString::fromUtf8("nhấn Y hoặc N"))) << question.toStdString();
  // A pending IMEI named inside a notice is translated with it, its data kept.
  const platform::OperatorText kept{
      "imei.pending_on_port", {"0102030405060708 (run at 2026-12-08 14:02:11, unit SN-9)", "4"}};
  EXPECT_EQ(
      platform::translated(kept),
      QString::fromUtf8("IMEI 0102030405060708 (lượt chạy lúc 2026-12-08 14:02:11, sản phẩm "
                        "SN-9) đang chờ ở cổng 4: lượt chạy dừng sau khi định dạng, trước khi "
                        "ghi lại; nó được giữ trong sổ lượt chạy cho đến khi điện thoại của "
                        "nó có lại"));
  EXPECT_TRUE(buttons.contains(QString::fromUtf8("Có (&Y)"))) << buttons.join("|").toStdString();

  // A serial that is markup is shown as scanned in every language, and
  // hides neither the IMEI nor the question after it.
  const char* const kSerial = "<b>SN2</b><!--";
  for (const char* language : {"en", "zh_CN", "vi", "es", "pt_BR"}) {
    TearDown();
    ASSERT_EQ(start_with(std::string("language = ") + language + "\n"), language);
    platform::set_user_interface(&panels);
    QString shown;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      for (auto* label : box->findChildren<QLabel*>()) {
        if (!label->text().contains("SN2")) continue;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << language;
        shown = label->text();
      }
      QTest::keyClick(box, Qt::Key_Y);
    });
    const platform::OperatorText asked{
        "question.pending_imei_of_unit",
        {"3", "2026-12-08 14:02:11", std::string("unit ") + kSerial, "53029910476543f1"}};
    EXPECT_EQ(platform::ConfirmPopup(platform::OperatorText{"title.pending_imei", {}}, asked), 1);
    EXPECT_EQ(shown, platform::translated(asked)) << language;
    EXPECT_TRUE(shown.contains(kSerial)) << language << ": " << shown.toStdString();
    // The IMEI is in the question three times: the run's, what Yes gives
    // back and what No keeps aside.
    EXPECT_EQ(shown.count("53029910476543f1"), 3) << language << ": " << shown.toStdString();
  }
  platform::set_user_interface(nullptr);
}

TEST_F(LanguageTest, the_desktop_locale_decides_without_a_setting_and_unknown_is_english) {
  setenv("LANG", "es_MX.UTF-8", 1);
  EXPECT_EQ(start_with("# no language\n"), "es");
  EXPECT_EQ(QCoreApplication::translate("OperatorText", "Run log NOT saved"),
            QString::fromUtf8("Registro NO guardado"));
  TearDown();

  setenv("LANG", "zh_TW.UTF-8", 1);
  EXPECT_EQ(start_with("language = fr\n"), "en");
  EXPECT_TRUE(qApp->findChildren<QTranslator*>().isEmpty());
  platform::QtPanels panels;
  QWidget* run = load(panels, ui::kRunPanelNumber);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->windowTitle(), "ffsload: run");
}

TEST_F(LanguageTest, every_language_has_its_translations_built_in_and_none_is_empty) {
  for (const char* language : {"zh_CN", "vi", "es", "pt_BR"}) {
    QTranslator translator;
    ASSERT_TRUE(translator.load(QString(":/i18n/ffsload_%1").arg(language))) << language;
    EXPECT_FALSE(translator.isEmpty()) << language;
    for (const auto& entry : platform::operator_text_catalogue()) {
      if (std::string(entry.english) == "%1") continue;  // shown as it is
      EXPECT_FALSE(translator.translate("OperatorText", entry.english).isEmpty())
          << language << ": " << entry.id;
    }
  }
}
