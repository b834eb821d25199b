// The Qt window on the offscreen platform, over the fake desktop.
#include <QFontInfo>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "app/qt/application.h"
#include "tests/support/fake_desktop.h"
#include "tracking/exceptions.h"
#include "ui/qt/tform1.h"

class TForm1Test : public QObject {
  Q_OBJECT

 private:
  FakeDesktop* screen = nullptr;
  TForm1* form = nullptr;

  // Closes the next message box once it shows and hands back its text.
  QString CloseNextMessageBox(const std::function<void()>& action) {
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        box->close();
      }
    });
    poll.start(20);
    action();
    poll.stop();
    return text;
  }

 private slots:
  void init() {
    screen = new FakeDesktop(1920, 1080);
    form = new TForm1(*screen, [](const Exception& e) {
      static_cast<TApplication*>(QApplication::instance())->ShowException(e);
    });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
  }
  void cleanup() {
    delete form;
    delete screen;
  }

  void startsWithTheDefaultTexts() {
    QCOMPARE(form->windowTitle(), QString("Form1"));
    QCOMPARE(form->size(), QSize(356, 188));
    const QStringList edits{form->Edit1->text(), form->Edit2->text(), form->Edit3->text(),
                            form->Edit4->text(), form->Edit5->text(), form->Edit6->text()};
    QCOMPARE(edits, (QStringList{"X", "Y", "X", "Y", "Color", "Интервал мс"}));
    QCOMPARE(form->Label3->text(), QString("W * H"));
    QCOMPARE(form->Button4->text(), QString("Начать слежение"));
    QCOMPARE(form->Label2->text(), QString("Поле слежения "));
    QCOMPARE(form->Button3->geometry(), QRect(8, 56, 233, 25));
    QCOMPARE(form->Edit6->geometry(), QRect(247, 82, 106, 21));
    QCOMPARE(QFontInfo(form->Button1->font()).pixelSize(), 11);
    QVERIFY(!form->Timer1.Enabled());
    QCOMPARE(form->Timer1.Interval(), 60000u);
  }

  void tabAndShiftTabFollowTheTabOrder() {
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->Button1->setFocus();
    const QList<QWidget*> forward{form->Button2, form->Button3, form->Edit1, form->Edit2,
                                  form->Edit3,   form->Edit4,   form->Edit5, form->Button4,
                                  form->Edit6,   form->Button1};
    QList<QWidget*> visited;
    for (int i = 0; i < forward.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, forward);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form->Edit6);
  }

  void aPlainClickCapturesTheCursorTwice() {
    screen->PutCursor(30, 45);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QCOMPARE(form->Edit3->text(), QString("30"));
    QCOMPARE(form->Edit4->text(), QString("45"));
    QCOMPARE(form->tracking().TrackingArea.Right, 30);
    QCOMPARE(screen->cursorReads, 6);  // mouse-up and click each read three times
  }

  void enterAndKeypadEnterClickAFocusedButton() {
    screen->PutCursor(30, 45);
    form->Button1->setFocus();
    QTest::keyClick(form->Button1, Qt::Key_Return);
    QCOMPARE(form->Edit1->text(), QString("30"));
    screen->PutCursor(60, 90);
    form->Button2->setFocus();
    QTest::keyClick(form->Button2, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(form->Edit4->text(), QString("90"));
  }

  void pressDragReleaseRunsOnlyTheMouseUpHandler() {
    QTest::mousePress(form->Button1, Qt::LeftButton);
    screen->PutCursor(700, 400);  // the cursor moved over another window
    QTest::mouseRelease(form->Button1, Qt::LeftButton, {}, QPoint(600, 350));
    QCOMPARE(form->Edit1->text(), QString("700"));
    QCOMPARE(form->Edit2->text(), QString("400"));
    QCOMPARE(form->tracking().TrackingArea.Left, 700);
    QCOMPARE(screen->cursorReads, 3);  // no click
  }

  void colourCaptureByMouseOrKeyShowsTheColour() {
    screen->Fill(100, 100, 10, 10, 0x000000FF);
    screen->PutCursor(105, 105);
    QTest::mousePress(form->Button3, Qt::LeftButton);
    QTest::mouseRelease(form->Button3, Qt::LeftButton, {}, QPoint(300, 300));
    QCOMPARE(form->Edit5->text(), QString("255"));
    QCOMPARE(form->Edit5->palette().color(QPalette::Base), QColor(255, 0, 0));

    screen->Fill(100, 100, 10, 10, 0x00FF0000);
    form->Button3->setFocus();
    QTest::keyClick(form->Button3, Qt::Key_Shift);
    QCOMPARE(form->Edit5->text(), QString("16711680"));
    QCOMPARE(form->Edit5->palette().color(QPalette::Base), QColor(0, 0, 255));
  }

  void aTypicalRunClicksTheTargetOnEveryTick() {
    screen->Fill(300, 300, 200, 30, 0x0000FF00);
    screen->PutCursor(250, 250);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    screen->PutCursor(700, 500);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    screen->PutCursor(310, 310);
    form->Button3->setFocus();
    QTest::keyClick(form->Button3, Qt::Key_Space);
    form->Edit6->setText("50");
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    QCOMPARE(form->Label3->text(), QString("450 * 250"));
    QVERIFY(form->Label3->width() > 29);  // grew to fit its text
    QVERIFY(form->Timer1.Enabled());
    QCOMPARE(form->Timer1.Interval(), 50u);
    QVERIFY(screen->Clicks().empty());  // the first pass comes one interval later
    QTRY_VERIFY_WITH_TIMEOUT(screen->Clicks().size() >= 40, 5000);
    for (const ScreenPoint& p : screen->Clicks()) QVERIFY(p.x == 350 || p.x == 450);
  }

  void aBadIntervalShowsTheErrorAndTheWindowStaysUsable() {
    form->Edit6->setText("пять");
    const QString message =
        CloseNextMessageBox([&] { QTest::mouseClick(form->Button4, Qt::LeftButton); });
    QVERIFY2(message.contains("«пять»"), qPrintable(message));
    QVERIFY(!form->Timer1.Enabled());

    // Corners never captured: the error names the bottom Y, tracking is on.
    form->Edit6->setText("500");
    const QString second =
        CloseNextMessageBox([&] { QTest::mouseClick(form->Button4, Qt::LeftButton); });
    QVERIFY2(second.contains("«Y»"), qPrintable(second));
    QVERIFY(form->Timer1.Enabled());
    QCOMPARE(form->Timer1.Interval(), 500u);

    screen->PutCursor(12, 34);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(form->Edit1->text(), QString("12"));
  }
};

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TForm1Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "tform1_test.moc"
