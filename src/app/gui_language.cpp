#include "app/gui_language.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "station/station_settings.h"
#include "station/ui_language.h"

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string chosen_ui_language() {
  const station::StationSettingsFile file = station::read_station_settings();
  return station::choose_ui_language(file.settings.language, variable("LC_ALL"),
                                     variable("LC_MESSAGES"), variable("LANG"));
}

std::string install_translations() {
  const std::string language = chosen_ui_language();
  if (language == "en") return language;
  const QString name = QString::fromStdString(language);
  // Ours are built into the program (translations/ffsload_*.ts): a station
  // cannot lose them to a missing file.
  auto* ours = new QTranslator(qApp);
  if (ours->load(QStringLiteral(":/i18n/ffsload_") + name)) {
    QCoreApplication::installTranslator(ours);
  } else {
    std::fprintf(stderr,
                 "ffsload: no translations for the language %s: the windows are in English\n",
                 language.c_str());
    delete ours;
    return "en";
  }
  // Qt's own for its dialogs and context menus, where Debian ships them (not
  // every language has them: ours cover the boxes the operator meets).
  auto* qt = new QTranslator(qApp);
  if (qt->load(QStringLiteral("qtbase_") + name,
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  } else {
    delete qt;
  }
  return language;
}
