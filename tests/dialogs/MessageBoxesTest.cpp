// The desktop's message boxes: title, icon, Japanese button captions, the default and escape
// buttons and the answer each button gives. The look and the press are queued before the box
// opens, so that they arrive from inside its modal loop.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "dialogs/MessageBoxes.h"

namespace tandro {

namespace {

using Buttons = MessageBoxes::Buttons;
using Icon = MessageBoxes::Icon;
using Result = MessageBoxes::Result;

// What the person saw in the box.
struct Seen {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList captions;
  QString defaultCaption;
};

QAbstractButton* buttonCaptioned(const QMessageBox& box, const QString& caption) {
  for (QAbstractButton* button : box.buttons()) {
    if (button->text() == caption) {
      return button;
    }
  }
  qFatal("no button %s", qPrintable(caption));
}

void look(const QMessageBox& box, Seen& seen) {
  seen = {box.windowTitle(), box.text(), box.icon(), {}, box.defaultButton()->text()};
  for (const QAbstractButton* button : box.buttons()) {
    seen.captions << button->text();
  }
  seen.captions.sort();
}

QStringList sorted(QStringList captions) {
  captions.sort();
  return captions;
}

// `press` is a button's caption, or "Return" or "Escape" for the key.
void whenBoxOpens(Seen& seen, const QString& press) {
  QMetaObject::invokeMethod(
      qApp,
      [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
          qFatal("no message box is open");
        }
        look(*box, seen);
        if (press == "Return" || press == "Escape") {
          QTest::keyClick(box, press == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        } else {
          QTest::mouseClick(buttonCaptioned(*box, press), Qt::LeftButton);
        }
      },
      Qt::QueuedConnection);
}

}  // namespace

class MessageBoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsAndAnswers_data();
  void buttonsAndAnswers();
  void titleAndIcon_data();
  void titleAndIcon();
};

void MessageBoxesTest::buttonsAndAnswers_data() {
  QTest::addColumn<Buttons>("buttons");
  QTest::addColumn<QStringList>("captions");
  QTest::addColumn<QString>("defaultCaption");
  QTest::addColumn<QString>("press");
  QTest::addColumn<Result>("result");
  const QStringList ok = sorted({"OK"});
  const QStringList okCancel = sorted({"OK", "キャンセル"});
  const QStringList yesNo = sorted({"はい(&Y)", "いいえ(&N)"});
  const QStringList yesNoCancel = sorted({"はい(&Y)", "いいえ(&N)", "キャンセル"});
  QTest::newRow("OK") << Buttons::Ok << ok << "OK"
                      << "OK" << Result::Ok;
  QTest::newRow("OK, Escape") << Buttons::Ok << ok << "OK"
                              << "Escape" << Result::Ok;
  QTest::newRow("OK of OK/Cancel") << Buttons::OkCancel << okCancel << "OK"
                                   << "Return" << Result::Ok;
  QTest::newRow("Cancel of OK/Cancel") << Buttons::OkCancel << okCancel << "OK"
                                       << "キャンセル" << Result::Cancel;
  QTest::newRow("OK/Cancel, Escape") << Buttons::OkCancel << okCancel << "OK"
                                     << "Escape" << Result::Cancel;
  QTest::newRow("Yes of Yes/No") << Buttons::YesNo << yesNo << "はい(&Y)"
                                 << "Return" << Result::Yes;
  QTest::newRow("No of Yes/No") << Buttons::YesNo << yesNo << "はい(&Y)"
                                << "いいえ(&N)" << Result::No;
  QTest::newRow("Yes/No, Escape") << Buttons::YesNo << yesNo << "はい(&Y)"
                                  << "Escape" << Result::No;
  QTest::newRow("Return in a warning") << Buttons::YesNoDefaultNo << yesNo << "いいえ(&N)"
                                       << "Return" << Result::No;
  QTest::newRow("Yes of a warning") << Buttons::YesNoDefaultNo << yesNo << "いいえ(&N)"
                                    << "はい(&Y)" << Result::Yes;
  QTest::newRow("Yes of three") << Buttons::YesNoCancel << yesNoCancel << "はい(&Y)"
                                << "はい(&Y)" << Result::Yes;
  QTest::newRow("No of three") << Buttons::YesNoCancel << yesNoCancel << "はい(&Y)"
                               << "いいえ(&N)" << Result::No;
  QTest::newRow("Cancel of three") << Buttons::YesNoCancel << yesNoCancel << "はい(&Y)"
                                   << "キャンセル" << Result::Cancel;
  QTest::newRow("three, Escape") << Buttons::YesNoCancel << yesNoCancel << "はい(&Y)"
                                 << "Escape" << Result::Cancel;
}

void MessageBoxesTest::buttonsAndAnswers() {
  QFETCH(Buttons, buttons);
  QFETCH(QStringList, captions);
  QFETCH(QString, defaultCaption);
  QFETCH(QString, press);
  QFETCH(Result, result);
  DesktopMessageBoxes boxes;
  Seen seen;
  whenBoxOpens(seen, press);
  QCOMPARE(boxes.show(nullptr, "text", buttons, Icon::Question), result);
  QCOMPARE(seen.captions, captions);
  QCOMPARE(seen.defaultCaption, defaultCaption);
}

void MessageBoxesTest::titleAndIcon_data() {
  QTest::addColumn<Icon>("icon");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QMessageBox::Icon>("shownIcon");
  QTest::addColumn<QString>("shownTitle");
  QTest::newRow("none") << Icon::None << "" << QMessageBox::NoIcon << "Tandro";
  QTest::newRow("stop") << Icon::Stop << "" << QMessageBox::Critical << "Tandro";
  QTest::newRow("exclamation") << Icon::Exclamation << "" << QMessageBox::Warning << "Tandro";
  QTest::newRow("information") << Icon::Information << "" << QMessageBox::Information << "Tandro";
  QTest::newRow("question, own title")
      << Icon::Question << "Work" << QMessageBox::Question << "Work";
}

void MessageBoxesTest::titleAndIcon() {
  QFETCH(Icon, icon);
  QFETCH(QString, title);
  QFETCH(QMessageBox::Icon, shownIcon);
  QFETCH(QString, shownTitle);
  DesktopMessageBoxes boxes;
  Seen seen;
  whenBoxOpens(seen, "OK");
  boxes.show(nullptr, "一行目\r二行目", Buttons::Ok, icon, title);
  QCOMPARE(seen.icon, shownIcon);
  QCOMPARE(seen.title, shownTitle);
  QCOMPARE(seen.text, QStringLiteral("一行目\r二行目"));
}

}  // namespace tandro

QTEST_MAIN(tandro::MessageBoxesTest)
#include "MessageBoxesTest.moc"
