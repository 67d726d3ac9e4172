#include "dialogs/MessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <utility>

namespace tandro {

namespace {

QMessageBox::Icon qtIcon(MessageBoxes::Icon icon) {
  switch (icon) {
    case MessageBoxes::Icon::None:
      return QMessageBox::NoIcon;
    case MessageBoxes::Icon::Stop:
      return QMessageBox::Critical;
    case MessageBoxes::Icon::Exclamation:
      return QMessageBox::Warning;
    case MessageBoxes::Icon::Information:
      return QMessageBox::Information;
    case MessageBoxes::Icon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
  QMessageBox::StandardButton escapeButton;
};

ButtonSet buttonSet(MessageBoxes::Buttons buttons) {
  switch (buttons) {
    case MessageBoxes::Buttons::Ok:
      return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
    case MessageBoxes::Buttons::OkCancel:
      return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case MessageBoxes::Buttons::YesNo:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case MessageBoxes::Buttons::YesNoDefaultNo:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::No};
    case MessageBoxes::Buttons::YesNoCancel:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
              QMessageBox::Cancel};
  }
  return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

// Qt's standard buttons speak the desktop's language; the boxes speak Japanese whatever the
// locale, so their buttons do too, with the captions and access keys of Japanese Windows.
void captionButtons(QMessageBox& box) {
  const std::pair<QMessageBox::StandardButton, QString> captions[] = {
      {QMessageBox::Ok, QStringLiteral("OK")},
      {QMessageBox::Cancel, QStringLiteral("キャンセル")},
      {QMessageBox::Yes, QStringLiteral("はい(&Y)")},
      {QMessageBox::No, QStringLiteral("いいえ(&N)")}};
  for (const auto& [button, caption] : captions) {
    if (QAbstractButton* shown = box.button(button)) {
      shown->setText(caption);
    }
  }
}

MessageBoxes::Result resultOf(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return MessageBoxes::Result::Yes;
    case QMessageBox::No:
      return MessageBoxes::Result::No;
    case QMessageBox::Cancel:
      return MessageBoxes::Result::Cancel;
    default:
      return MessageBoxes::Result::Ok;
  }
}

}  // namespace

MessageBoxes::Result DesktopMessageBoxes::show(QWidget* parent, const QString& text,
                                               Buttons buttons, Icon icon, const QString& title) {
  const ButtonSet set = buttonSet(buttons);
  QMessageBox box(qtIcon(icon), title.isEmpty() ? QStringLiteral("Tandro") : title, text,
                  set.buttons, parent);
  box.setDefaultButton(set.defaultButton);
  box.setEscapeButton(set.escapeButton);
  captionButtons(box);
  return resultOf(box.exec());
}

}  // namespace tandro
