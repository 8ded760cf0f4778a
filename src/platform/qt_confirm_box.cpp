#include "platform/qt_confirm_box.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace platform {

namespace {

// Result codes of the dialog beside QDialog::Rejected (0).
constexpr int kChoseYes = 2;
constexpr int kChoseNo = 3;

// Watches the box and its children: Enter and Return are swallowed wherever
// the focus is, Y and N choose.
class KeyGuard final : public QObject {
 public:
  explicit KeyGuard(QDialog& box) : QObject(&box), box_(box) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return true;
    if (event->type() != QEvent::KeyPress || (key->modifiers() & ~Qt::KeypadModifier) != 0)
      return false;
    if (key->key() == Qt::Key_Y)
      box_.done(kChoseYes);
    else if (key->key() == Qt::Key_N)
      box_.done(kChoseNo);
    else
      return false;
    return true;
  }

 private:
  QDialog& box_;
};

QPushButton* choice_button(const QString& text, QDialog& box, int result) {
  auto* button = new QPushButton(text, &box);
  // Neither button is ever the one that Enter presses.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setMinimumWidth(90);
  QObject::connect(button, &QPushButton::clicked, &box, [&box, result] { box.done(result); });
  return button;
}

// The box's own words, in the operator's language.
QString text_of(const char* source) {
  return QCoreApplication::translate("ffsload::YesNoBox", source);
}

}  // namespace

int ask_yes_no(QWidget* parent, const QString& title, const QString& question) {
  QDialog box(parent);
  box.setWindowTitle(title);
  box.setModal(true);

  auto* icon = new QLabel(&box);
  const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
  icon->setPixmap(box.style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);
  // The question quotes the unit's serial and the like as they were scanned:
  // plain text, so that markup in a serial cannot hide the IMEI or the question.
  auto* text = new QLabel(&box);
  text->setTextFormat(Qt::PlainText);
  text->setText(question);
  text->setWordWrap(true);
  text->setMinimumWidth(380);
  // The keyboard starts here, where Space and Enter choose nothing; the
  // operator can still select the IMEI to copy it.
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setFocusPolicy(Qt::StrongFocus);
  auto* hint = new QLabel(text_of(QT_TRANSLATE_NOOP("ffsload::YesNoBox",
                                                    "Click Yes or No, or press Y or N. Enter alone "
                                                    "does nothing.")),
                          &box);
  hint->setWordWrap(true);
  hint->setStyleSheet("color: #505050;");

  // Y and N answer in every language: the keys are the box's, not the
  // buttons' underlined letters.
  QPushButton* yes =
      choice_button(text_of(QT_TRANSLATE_NOOP("ffsload::YesNoBox", "&Yes")), box, kChoseYes);
  QPushButton* no =
      choice_button(text_of(QT_TRANSLATE_NOOP("ffsload::YesNoBox", "&No")), box, kChoseNo);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addWidget(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hint, 1);
  buttons->addWidget(yes);
  buttons->addWidget(no);
  auto* layout = new QVBoxLayout(&box);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addLayout(buttons);

  auto* guard = new KeyGuard(box);
  for (QObject* watched : {static_cast<QObject*>(&box), static_cast<QObject*>(text),
                           static_cast<QObject*>(yes), static_cast<QObject*>(no)})
    watched->installEventFilter(guard);
  text->setFocus(Qt::OtherFocusReason);

  switch (box.exec()) {
    case kChoseYes:
      return 1;
    case kChoseNo:
      return 0;
    default:
      return -1;  // closed without a choice
  }
}

}  // namespace platform
