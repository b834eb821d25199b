#include "ui/qt/tform1.h"

#include <QKeyEvent>
#include <QMouseEvent>

template <typename Widget>
Widget* TForm1::Control(const char* name) const {
  return static_cast<Widget*>(widgets_[ControlIndex(name)]);
}

TForm1::TForm1(Desktop& desktop, std::function<void(const Exception&)> showException,
               QWidget* parent)
    : QWidget(parent),
      Timer1(Timer1Alarm, [this] { Timer1Timer(); }),
      showException_(std::move(showException)) {
  Timer1Alarm.SetTimer(&Timer1);
  BuildControls();
  Label1 = Control<QLabel>("Label1");
  Label2 = Control<QLabel>("Label2");
  Label3 = Control<QLabel>("Label3");
  Label4 = Control<QLabel>("Label4");
  Button1 = Control<QPushButton>("Button1");
  Button2 = Control<QPushButton>("Button2");
  Button3 = Control<QPushButton>("Button3");
  Button4 = Control<QPushButton>("Button4");
  Edit1 = Control<QLineEdit>("Edit1");
  Edit2 = Control<QLineEdit>("Edit2");
  Edit3 = Control<QLineEdit>("Edit3");
  Edit4 = Control<QLineEdit>("Edit4");
  Edit5 = Control<QLineEdit>("Edit5");
  Edit6 = Control<QLineEdit>("Edit6");

  edit1Text_.emplace(Edit1);
  edit2Text_.emplace(Edit2);
  edit3Text_.emplace(Edit3);
  edit4Text_.emplace(Edit4);
  edit5Color_.emplace(Edit5);
  edit6Text_.emplace(Edit6);
  label3Text_.emplace(Label3);
  tracker_ = std::make_unique<Tracker>(
      desktop, TrackingControls{*edit1Text_, *edit2Text_, *edit3Text_, *edit4Text_, *edit5Color_,
                                *edit6Text_, *label3Text_, Timer1});

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  for (QPushButton* button : {Button1, Button2, Button3, Button4}) button->installEventFilter(this);
}

TForm1::~TForm1() { Timer1.SetEnabled(false); }

void TForm1::BuildControls() {
  setWindowTitle(QString::fromUtf8(kForm1.caption));
  // Where Tahoma is missing, a sans-serif of about its width keeps the
  // fixed layout's texts from running into each other.
  QFont font(QStringList{QString::fromUtf8(kForm1.fontFamily), QStringLiteral("Liberation Sans"),
                         QStringLiteral("Arimo"), QStringLiteral("sans-serif")});
  font.setPixelSize(kForm1.fontPixelHeight);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  resize(kForm1.clientWidth, kForm1.clientHeight);

  std::array<QWidget*, kForm1Controls.size()> byTab{};
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const ControlSpec& spec = kForm1Controls[i];
    const QString text = QString::fromUtf8(spec.text);
    QWidget* widget = nullptr;
    switch (spec.kind) {
      case ControlKind::Label: widget = new QLabel(text, this); break;
      case ControlKind::Button:
        widget = new QPushButton(text, this);
        widget->setFocusPolicy(Qt::StrongFocus);
        break;
      case ControlKind::Edit:
        widget = new QLineEdit(text, this);
        static_cast<QLineEdit*>(widget)->setCursorPosition(0);
        break;
    }
    widget->setObjectName(QString::fromUtf8(spec.name));
    widget->setGeometry(spec.left, spec.top, spec.width, spec.height);
    // Labels fit their text, as they do again whenever it changes.
    if (spec.kind == ControlKind::Label) widget->adjustSize();
    if (spec.tabOrder >= 0) byTab[spec.tabOrder] = widget;
    widgets_[i] = widget;
  }
  QWidget* previous = nullptr;
  for (QWidget* widget : byTab) {
    if (!widget) continue;
    if (previous) setTabOrder(previous, widget);
    previous = widget;
  }
}

// A release of any button anywhere counts: the pressed button keeps the
// mouse until then, so it also sees releases over other windows.
//
// Enter and the keypad's Enter click a focused button, as Space does and as
// they do in a Windows dialog.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
      static_cast<QPushButton*>(watched)->click();
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == Button1) Button1MouseUp();
    if (watched == Button2) Button2MouseUp();
    if (watched == Button3) Button3MouseUp();
  } else if (event->type() == QEvent::KeyRelease && watched == Button3 &&
             !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
    Button3KeyUp();
  }
  return QWidget::eventFilter(watched, event);
}

template <class Handler>
void TForm1::Guarded(Handler&& handler) {
  RunGuarded(handler, showException_);
}

void TForm1::Button1Click() {
  Guarded([this] { tracker_->CaptureTopLeft(); });
}
void TForm1::Button2Click() {
  Guarded([this] { tracker_->CaptureBottomRight(); });
}
void TForm1::Button1MouseUp() {
  Guarded([this] { tracker_->CaptureTopLeft(); });
}
void TForm1::Button2MouseUp() {
  Guarded([this] { tracker_->CaptureBottomRight(); });
}
void TForm1::Button3MouseUp() {
  Guarded([this] { tracker_->CaptureColor(); });
}
void TForm1::Button3KeyUp() {
  Guarded([this] { tracker_->CaptureColor(); });
}
void TForm1::Button4Click() {
  Guarded([this] { tracker_->StartTracking(); });
}
void TForm1::Timer1Timer() {
  Guarded([this] { tracker_->ScanPass(); });
}
