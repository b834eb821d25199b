// Entry point of the Windows program. It takes no arguments and always
// exits with 0, also after an error was shown.
#include "app/win32/application.h"

TForm1* Form1 = nullptr;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  TApplication Application(instance);
  try {
    Application.Initialize();
    Application.SetMainFormOnTaskBar(true);
    Application.CreateForm(Form1);
    Application.Run();
  } catch (const Exception& e) {
    Application.ShowException(e);
  } catch (const std::exception& e) {
    Application.ShowException(Exception(e.what()));
  } catch (...) {
    // Anything else is shown as an error without a message.
    try {
      throw Exception("");
    } catch (const Exception& e) {
      Application.ShowException(e);
    }
  }
  return 0;
}
