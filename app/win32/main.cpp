// Entry point of the Windows program. It takes no arguments and always
// exits with 0, also after an error was shown.
#include "app/win32/application.h"

TForm1* Form1 = nullptr;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  TApplication Application(instance);
  // Anything thrown is shown as an error, one without a message as such.
  RunGuarded(
      [&] {
        Application.Initialize();
        Application.SetMainFormOnTaskBar(true);
        Application.CreateForm(Form1);
        Application.Run();
      },
      [&](const Exception& e) { Application.ShowException(e); });
  return 0;
}
