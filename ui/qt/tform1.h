#pragma once
// The main window: controls built from the shared table; each handler
// forwards to the tracking logic.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "tracking/exceptions.h"
#include "tracking/tracker.h"
#include "ui/form_layout.h"
#include "ui/qt/qt_controls.h"

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // showException shows what a handler raised; the window goes on.
  TForm1(Desktop& desktop, std::function<void(const Exception&)> showException,
         QWidget* parent = nullptr);
  ~TForm1() override;

  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QLineEdit* Edit5;
  QPushButton* Button4;
  QLineEdit* Edit6;
  QtTimerScheduler Timer1Alarm;
  TTimer Timer1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;

  void Button1Click();
  void Button2Click();
  void Button1MouseUp();
  void Button2MouseUp();
  void Button3MouseUp();
  void Button3KeyUp();
  void Button4Click();
  void Timer1Timer();

  Tracker& tracking() { return *tracker_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  template <typename Widget>
  Widget* Control(const char* name) const;
  template <class Handler>
  void Guarded(Handler&& handler);

  std::array<QWidget*, kForm1Controls.size()> widgets_{};
  std::optional<QtLineEditText> edit1Text_, edit2Text_, edit3Text_, edit4Text_, edit6Text_;
  std::optional<QtColorEdit> edit5Color_;
  std::optional<QtLabelText> label3Text_;
  std::unique_ptr<Tracker> tracker_;
  std::function<void(const Exception&)> showException_;
};
