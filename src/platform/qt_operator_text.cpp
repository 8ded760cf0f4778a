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

// An argument in a part's place: the parts that rendered it, translated.
// Several parts are joined by "; ", and that is tried first: a pending
// IMEI's "(run at %2)" would otherwise swallow the rest of the list. A
// serial holding "; " makes the list fail, and the whole is tried as one
// part; an argument that is no part at all is shown as it is.
QString translated_parts(const std::string& arg) {
  QStringList out;
  for (std::size_t from = 0; arg.find("; ") != std::string::npos;) {
    const std::size_t end = arg.find("; ", from);
    const std::optional<OperatorText> part =
        recognise_operator_text(std::string_view(arg).substr(from, end - from), kOperatorTextPart);
    if (!part) {
      out.clear();
      break;
    }
    out << translated(*part);
    if (end == std::string::npos) break;
    from = end + 2;
  }
  if (!out.isEmpty()) return out.join(QStringLiteral("; "));
  if (const std::optional<OperatorText> part = recognise_operator_text(arg, kOperatorTextPart))
    return translated(*part);
  return QString::fromStdString(arg);
}

}  // namespace

QString translated(const OperatorText& text) {
  if (text.empty()) return {};
  const OperatorTextSource* entry = operator_text_entry(text.id);
  if (!entry) return QString::fromStdString(text.english());
  const std::string_view parts = entry->parts;
  QStringList args;
  for (std::size_t i = 0; i < text.args.size(); ++i) {
    // Only where the catalogue puts a part: elsewhere an argument is the
    // station's data (a serial, a customer, an operator id), never translated.
    const bool part = i < 9 && parts.find(static_cast<char>('1' + i)) != std::string_view::npos;
    args << (part ? translated_parts(text.args[i]) : QString::fromStdString(text.args[i]));
  }
  return fill(QCoreApplication::translate(kOperatorTextContext, entry->english), args);
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
