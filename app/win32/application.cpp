#include "app/win32/application.h"

#include <commctrl.h>

#include "tracking/messages.h"
#include "ui/win32/wide_text.h"

void TApplication::Initialize() {
  // Loads version 6 of the common controls, which the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
}

void TApplication::CreateForm(TForm1*& form) {
  mainForm_ = std::make_unique<TForm1>(instance_, desktop_,
                                       [this](const Exception& e) { ShowException(e); });
  form = mainForm_.get();
  form->Show();
  form->Begin(desktop_, [this](const Notice& notice) { Tell(MessageFor(notice)); });
}

// IsDialogMessage gives the plain window a dialog's keyboard navigation:
// Tab and Shift+Tab move through the controls in their stacking order.
void TApplication::Run() {
  if (!mainForm_) return;
  struct EndDesktop {
    Desktop& desktop;
    ~EndDesktop() { desktop.End(); }
  } end{desktop_};
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    HWND form = mainForm_->Handle();
    if (form && ::IsDialogMessageW(form, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Topmost: the passes go on under a box, and each click may bring the
// window it lands on to the front, which would hide the box.
void TApplication::ShowException(const Exception& e) const {
  HWND owner = mainForm_ ? mainForm_->Handle() : nullptr;
  ::MessageBoxW(owner, Utf8ToWide(e.Message()).c_str(), L"colorclicker",
                MB_OK | MB_ICONERROR | MB_TOPMOST);
}

void TApplication::Tell(const std::string& message) const {
  HWND owner = mainForm_ ? mainForm_->Handle() : nullptr;
  ::MessageBoxW(owner, Utf8ToWide(message).c_str(), L"colorclicker",
                MB_OK | MB_ICONWARNING | MB_TOPMOST);
}
