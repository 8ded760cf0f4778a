#include "platform/qt_operator_text.h"

#include <QCoreApplication>
#include <QStringList>

namespace platform {

namespace {

// %1..%9 replaced in one pass, so that an argument holding "%2" (a file
// name, a handset's text) is shown as it is.
QString fill(const QString& pattern, const QStringList& args) {
  QString out;
  out.reserve(pattern.size());
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
      const auto n = static_cast<qsizetype>(pattern[i + 1].unicode() - u'0');
      if (n <= args.size()) {
        out += args[n - 1];
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace

QString translated(const OperatorText& text) {
  if (text.empty()) return {};
  const char* source = operator_text_source(text.id);
  if (!source) return QString::fromStdString(text.english());
  QStringList args;
  for (const std::string& arg : text.args) {
    // A part of the text that a catalogue text rendered is translated too.
    const std::optional<OperatorText> part = recognise_operator_text(arg, kOperatorTextPart);
    args << (part ? translated(*part) : QString::fromStdString(arg));
  }
  return fill(QCoreApplication::translate(kOperatorTextContext, source), args);
}

QString translated(const std::vector<OperatorText>& lines) {
  QStringList out;
  for (const OperatorText& line : lines) out << translated(line);
  return out.join(u'\n');
}

QString translated_english(const std::string& english) {
  QStringList out;
  for (const QString& line : QString::fromStdString(english).split(u'\n')) {
    const std::optional<OperatorText> known = recognise_operator_text(line.toStdString());
    out << (known ? translated(*known) : line);
  }
  return out.join(u'\n');
}

}  // namespace platform
