#pragma once
// The application object: brings up the common controls, owns the main
// window, runs the message loop and shows errors.
#include <memory>
#include <string>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/windows_api.h"
#include "tracking/exceptions.h"
#include "ui/win32/tform1.h"

class TApplication {
 public:
  explicit TApplication(HINSTANCE instance) : instance_(instance) {}

  void Initialize();
  // The main window owns its taskbar button: it is an unowned top-level
  // window, so there is nothing to switch.
  void SetMainFormOnTaskBar(bool) {}
  // The first form created is the main one; closing it ends Run.
  void CreateForm(TForm1*& form);
  void Run();
  void ShowException(const Exception& e) const;
  // A warning over the main window; the window goes on.
  void Tell(const std::string& message) const;

 private:
  HINSTANCE instance_;
  Win32Desktop desktop_;
  std::unique_ptr<TForm1> mainForm_;
};
