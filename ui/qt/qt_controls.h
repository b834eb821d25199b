#pragma once
// The tracking interfaces over Qt widgets and QTimer.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "tracking/controls.h"
#include "tracking/interval_timer.h"

class QtLineEditText : public TextControl {
 public:
  explicit QtLineEditText(QLineEdit* edit) : edit_(edit) {}
  std::string GetText() const override;
  void SetText(const std::string& text) override;

 protected:
  QLineEdit* edit_;
};

// A label grows and shrinks with its text.
class QtLabelText : public TextControl {
 public:
  explicit QtLabelText(QLabel* label) : label_(label) {}
  std::string GetText() const override;
  void SetText(const std::string& text) override;

 private:
  QLabel* label_;
};

// The colour is kept as given; the background shows it when it is an
// actual RGB value and the usual edit colour otherwise.
class QtColorEdit : public ColorEdit {
 public:
  explicit QtColorEdit(QLineEdit* edit) : text_(edit), edit_(edit) {}
  std::string GetText() const override { return text_.GetText(); }
  void SetText(const std::string& text) override { text_.SetText(text); }
  TColor GetColor() const override { return color_; }
  void SetColor(TColor color) override;

 private:
  QtLineEditText text_;
  QLineEdit* edit_;
  TColor color_ = clWindow;
};

class QtTimerScheduler : public TimerScheduler {
 public:
  QtTimerScheduler();
  void SetTimer(TTimer* timer) { timer_ = timer; }
  void Arm(std::uint32_t delayMs) override;
  void Disarm() override { alarm_.stop(); }

 private:
  QTimer alarm_;
  TTimer* timer_ = nullptr;
};
