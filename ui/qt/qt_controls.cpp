#include "ui/qt/qt_controls.h"

#include <QPalette>
#include <QStyle>

std::string QtLineEditText::GetText() const { return edit_->text().toStdString(); }

void QtLineEditText::SetText(const std::string& text) {
  edit_->setText(QString::fromStdString(text));
  edit_->setCursorPosition(0);
}

std::string QtLabelText::GetText() const { return label_->text().toStdString(); }

void QtLabelText::SetText(const std::string& text) {
  label_->setText(QString::fromStdString(text));
  label_->adjustSize();
}

void QtColorEdit::SetColor(TColor color) {
  color_ = color;
  QPalette palette = edit_->palette();
  // A set top byte marks a system colour reference or a failed read.
  if (color >> 24)
    palette.setColor(QPalette::Base, edit_->style()->standardPalette().color(QPalette::Base));
  else
    palette.setColor(QPalette::Base,
                     QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  edit_->setPalette(palette);
}

QtTimerScheduler::QtTimerScheduler() {
  alarm_.setSingleShot(true);
  alarm_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&alarm_, &QTimer::timeout, [this] {
    if (timer_) timer_->Elapsed();
  });
}

void QtTimerScheduler::Arm(std::uint32_t delayMs) {
  alarm_.start(static_cast<int>(delayMs));  // never above kMaxDelayMs
}
