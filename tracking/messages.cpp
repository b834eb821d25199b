#include "tracking/messages.h"

namespace {
const char kAskAgain[] =
    " Программа ничего не нажимает. Чтобы спросить снова, нажмите «Начать слежение».";

// The causes, as parts of one sentence.
std::string Causes(const Notice& notice) {
  std::string text;
  for (const Notice& cause : notice.causes) text += (text.empty() ? "" : "; ") + MessageFor(cause);
  return text;
}
}  // namespace

std::string NotAnIntegerMessage(const std::string& text) {
  return "«" + text + "» не является целым числом";
}

std::string MessageFor(const Notice& n) {
  switch (n.reason) {
    case Reason::NoCompositor: return "композитор Wayland не отвечает (WAYLAND_DISPLAY)";
    case Reason::MissingProtocols: return "композитор не предоставляет " + n.detail;
    case Reason::NoXWaylandForPointer:
      return "нет XWayland, через который программа узнаёт положение указателя";
    case Reason::CompositorNotAnswering:
      return "композитор Wayland не ответил вовремя, какие протоколы и мониторы у него есть";
    case Reason::NoSessionBus: return "нет сеансовой шины D-Bus";
    case Reason::NoRemoteDesktopPortal:
      return "нет портала рабочего стола для удалённого управления (" + n.detail + ")";
    case Reason::PortalSilent: return "портал рабочего стола не ответил вовремя (" + n.detail + ")";
    case Reason::PortalWithoutPointer: return "портал рабочего стола не даёт управлять указателем";
    case Reason::PortalWithoutMonitors: return "портал рабочего стола не показывает мониторы";
    case Reason::NoXWaylandForWindow: return "нет XWayland, в котором программа показывает окно";
    case Reason::NoXDisplay:
      return "нет X-дисплея (DISPLAY=" + (n.detail.empty() ? "не задан" : n.detail) + "). " +
             (n.causes.empty() ? "Программе нужен рабочий стол X11 с расширением XTEST."
                               : "Это сеанс Wayland, но " + Causes(n) +
                                     ", а без XWayland программа не может ни показать окно, "
                                     "ни работать через X11.");
    case Reason::XWaylandOnly:
      // No causes when COLORCLICKER_DESKTOP chose this route itself.
      return "Это сеанс Wayland" + (n.causes.empty() ? std::string() : ", но " + Causes(n)) +
             ". Программа читает экран и нажимает мышью через X11 (XWayland): она видит и "
             "нажимает только окна X11-приложений, окна Wayland для неё не видны.";
    case Reason::UnknownRoute:
      return "COLORCLICKER_DESKTOP: такого способа работы с рабочим столом нет: " + n.detail + ".";

    case Reason::PortalError:
      return "Портал рабочего стола ответил ошибкой: " + n.detail + "." + kAskAgain;
    case Reason::AccessRefused:
      return std::string("Доступ к экрану и мыши не разрешён: запрос рабочего стола отклонён.") +
             kAskAgain;
    case Reason::AccessInterrupted:
      return std::string("Рабочий стол не дал доступа к экрану и мыши (запрос прерван).") +
             kAskAgain;
    case Reason::NoPointerOrMonitor:
      return std::string(
                 "Рабочий стол не дал управлять указателем или не показал ни одного монитора.") +
             kAskAgain;
    case Reason::PipeWireNotOpened:
      return "Портал рабочего стола не открыл PipeWire: " + n.detail + "." + kAskAgain;
    case Reason::ScreenUnreadable:
      return "Рабочий стол разрешил доступ, но экран не читается: " + n.detail + "." + kAskAgain;
    case Reason::AccessEnded:
      return std::string(
                 "Рабочий стол прекратил доступ программы к экрану и мыши (показ экрана "
                 "остановлен).") +
             kAskAgain;
    case Reason::PortalGone:
      return "Служба портала рабочего стола (" + n.detail +
             ") завершилась, и доступ программы к экрану и мыши пропал." + kAskAgain;
    case Reason::ScreenStreamBroken:
      return std::string("Поток экрана от рабочего стола (PipeWire) прервался.") + kAskAgain;
    case Reason::PortalTimedOut:
      return "Портал рабочего стола не ответил вовремя (программа ждала ответа на " + n.detail +
             "), и доступ программы к экрану и мыши прекращён." + kAskAgain;
    case Reason::WrongPortalReply:
      return "Портал рабочего стола прислал ответ, которого программа не понимает (" + n.detail +
             "), и доступ программы к экрану и мыши прекращён." + kAskAgain;
    case Reason::NoPictureFormat:
      return "Рабочий стол и программа не договорились о формате картинки экрана" +
             (n.detail.empty() ? std::string() : " (PipeWire: " + n.detail + ")") +
             ", и программа не может читать экран." + kAskAgain;
    case Reason::NoPictures:
      return std::string("Рабочий стол разрешил доступ, но не присылает картинку экрана (") +
             (n.detail.find(',') == std::string::npos ? "монитор " : "мониторы ") + n.detail +
             "). Пока её нет, программа там ничего не видит и не нажимает.";

    case Reason::ElevatedTarget:
      return "Цвет найден в окне программы, запущенной с большими правами (от имени "
             "администратора или системы). Windows не пропускает в такие окна нажатия программ с "
             "меньшими правами, поэтому colorclicker там не нажимает. Чтобы нажимать в окнах "
             "программ, запущенных от имени администратора, закройте colorclicker и запустите "
             "его от имени администратора (правой кнопкой по colorclicker.exe: «Запуск от имени "
             "администратора»).";
    case Reason::InputRefused:
      return "Windows не принял нажатие мыши от colorclicker: ввод мыши сейчас заблокирован "
             "(например, другой программой), поэтому там, где был найден цвет, colorclicker не "
             "нажал. Слежение продолжается: когда Windows снова будет принимать ввод, нажатия "
             "возобновятся сами.";

    case Reason::UnreadableCopyFormat:
      return "Монитор не читается: композитор отдаёт его изображение в формате, который программа "
             "не умеет читать (" +
             n.detail +
             "). Программа читает XRGB8888, XBGR8888, XRGB2101010 и XBGR2101010 (и их варианты с "
             "альфа-каналом); на этом мониторе она ничего не видит и не нажимает.";
    case Reason::NoSharedMemoryCopies:
      return "Монитор " + n.detail +
             " не читается: композитор не отдаёт его изображение в общей памяти (wl_shm), а иначе "
             "программа читать не умеет. На этом мониторе она ничего не видит и не нажимает.";
    case Reason::CompositorSilent:
      return "Композитор Wayland не ответил вовремя: программа ждала " + Causes(n) +
             ". Пока он не отвечает, программа не читает экран и не нажимает; когда ответит, "
             "слежение продолжится само.";
    case Reason::AwaitedOutputs: return "ответа, какие протоколы и мониторы у него есть";
    case Reason::AwaitedScreenCopy: return "изображения монитора " + n.detail;
    case Reason::AwaitedLayoutCheck:
      return "подтверждения, что мониторы не менялись, перед нажатием";

    case Reason::DisplayLost: return "соединение с X-дисплеем потеряно, программа завершается.";
    case Reason::CompositorLost:
      return "композитор Wayland закрыл соединение (сеанс завершён?). Программа не может читать "
             "экран и нажимать мышью и завершает работу.";
  }
  return {};
}
