// The windows' language: chosen once at start (the station's "language"
// setting, else the desktop's locale, else English) and installed as Qt's
// translators, ours and Qt's own (its standard buttons and menus).
#pragma once

#include <string>

// Installs the translators for the chosen language into the running
// QApplication and returns the language ("en" installs none). A language
// whose translations cannot be loaded leaves the English source texts.
std::string install_translations();

// The language that install_translations() chooses in the current folder.
std::string chosen_ui_language();
