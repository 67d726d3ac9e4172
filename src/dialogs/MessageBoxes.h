// Every message box of the program goes through this interface, so that tests can answer
// them in place of a user.
#pragma once

#include <QString>

class QWidget;

namespace tandro {

class MessageBoxes {
 public:
  // YesNoDefaultNo: a warning whose safe answer is No.
  enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
  enum class Icon { None, Stop, Exclamation, Information, Question };
  enum class Result { Ok, Cancel, Yes, No };

  virtual ~MessageBoxes() = default;
  // Shows a modal box with the title "Tandro" (or `title` when given) and waits for the
  // answer; the first button is the default unless the set says otherwise. Closing the box counts
  // as Cancel (or No for Yes/No, Ok for a lone OK).
  virtual Result show(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
                      const QString& title = QString()) = 0;
};

// The real boxes of the desktop.
class DesktopMessageBoxes : public MessageBoxes {
 public:
  Result show(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
              const QString& title = QString()) override;
};

}  // namespace tandro
