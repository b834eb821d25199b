#include "ui/qt/tform1.h"

#include <QKeyEvent>
#include <QMouseEvent>

TForm1::TForm1(Desktop& desktop, std::function<void(const Exception&)> showException,
               QWidget* parent)
    : QWidget(parent),
      FormHandlers(std::move(showException)),
      Timer1(Timer1Alarm, [this] { Timer1Timer(); }) {
  Timer1Alarm.SetTimer(&Timer1);
  BuildControls();
  Label1 = Control<QLabel>(ControlId::Label1);
  Label2 = Control<QLabel>(ControlId::Label2);
  Label3 = Control<QLabel>(ControlId::Label3);
  Label4 = Control<QLabel>(ControlId::Label4);
  Button1 = Control<QPushButton>(ControlId::Button1);
  Button2 = Control<QPushButton>(ControlId::Button2);
  Button3 = Control<QPushButton>(ControlId::Button3);
  Button4 = Control<QPushButton>(ControlId::Button4);
  Edit1 = Control<QLineEdit>(ControlId::Edit1);
  Edit2 = Control<QLineEdit>(ControlId::Edit2);
  Edit3 = Control<QLineEdit>(ControlId::Edit3);
  Edit4 = Control<QLineEdit>(ControlId::Edit4);
  Edit5 = Control<QLineEdit>(ControlId::Edit5);
  Edit6 = Control<QLineEdit>(ControlId::Edit6);

  leftX_.emplace(Edit1);
  topY_.emplace(Edit2);
  rightX_.emplace(Edit3);
  bottomY_.emplace(Edit4);
  targetColor_.emplace(Edit5);
  interval_.emplace(Edit6);
  areaSize_.emplace(Label3);
  BindTracker(desktop, {*leftX_, *topY_, *rightX_, *bottomY_, *targetColor_, *interval_, *areaSize_,
                        Timer1});

  for (QPushButton* button : {Button1, Button2, Button3, Button4}) {
    const ControlId id = *IdOf(button);
    if (Wired(id, FormEvent::Click))
      connect(button, &QPushButton::clicked, this, [this, id] { Dispatch(id, FormEvent::Click); });
    button->installEventFilter(this);
  }
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
  for (const ControlSpec& spec : kForm1Controls) {
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
    widgets_[IndexOf(spec.id)] = widget;
  }
  QWidget* previous = nullptr;
  for (QWidget* widget : byTab) {
    if (!widget) continue;
    if (previous) setTabOrder(previous, widget);
    previous = widget;
  }
}

std::optional<ControlId> TForm1::IdOf(const QObject* widget) const {
  for (const ControlSpec& spec : kForm1Controls)
    if (widgets_[IndexOf(spec.id)] == widget) return spec.id;
  return std::nullopt;
}

// A release of any button anywhere counts: the pressed button keeps the
// mouse until then, so it also sees releases over other windows.
//
// Enter and the keypad's Enter click a focused button, as Space does and as
// they do in a Windows dialog.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const std::optional<ControlId> id = IdOf(watched);
  if (id && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
      static_cast<QPushButton*>(watched)->click();
      return true;
    }
  } else if (id && event->type() == QEvent::MouseButtonRelease) {
    Dispatch(*id, FormEvent::MouseUp);
  } else if (id && event->type() == QEvent::KeyRelease &&
             !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
    Dispatch(*id, FormEvent::KeyUp);
  }
  return QWidget::eventFilter(watched, event);
}
