#pragma once
// The main window over Qt widgets, built from the shared control table;
// its handlers are the shared ones, run from Qt's events.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "ui/form_handlers.h"
#include "ui/form_layout.h"
#include "ui/qt/qt_controls.h"

class TForm1 : public QWidget, public FormHandlers {
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

  template <typename Widget>
  Widget* Control(ControlId id) const {
    return static_cast<Widget*>(widgets_[IndexOf(id)]);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  // The control a widget of ours is; nothing for other objects.
  std::optional<ControlId> IdOf(const QObject* widget) const;

  std::array<QWidget*, kForm1Controls.size()> widgets_{};
  std::optional<QtLineEditText> leftX_, topY_, rightX_, bottomY_, interval_;
  std::optional<QtColorEdit> targetColor_;
  std::optional<QtLabelText> areaSize_;
};
