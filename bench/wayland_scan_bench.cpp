// Times scan passes on Wayland through the program's own backends over the
// painted desktop, and checks that they click where the per-sample passes
// do: on a wlroots compositor (wlr-screencopy reads, wlr virtual pointer
// clicks), or with --portal through the desktop portal (PipeWire pictures,
// RemoteDesktop clicks). Run through bench/run, which paints the desktop
// with --paint, shows it on a private headless sway or mutter and runs
// this inside.
//
// Usage: wayland_scan_bench --paint FILE.ppm WIDTH HEIGHT
//        wayland_scan_bench [--portal] [--passes N] [--compositor-pid PID]
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "bench/painted_desktop.h"
#include "platform/portal/portal_desktop.h"
#include "platform/wlroots/wlroots_desktop.h"
#include "tests/support/fake_controls.h"
#include "tests/support/recording_desktop.h"
#include "tracking/messages.h"

namespace {

int WritePpm(const char* path, int width, int height) {
  const std::vector<std::uint32_t> pixels =
      PaintDesktop(width, height, BenchTargets(), NearMissesOf(BenchTargets()));
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  for (std::uint32_t p : pixels) {
    const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
    out.write(rgb, 3);
  }
  return out ? 0 : 1;
}

// CPU seconds a process has used, from /proc; 0 when unknown.
double ProcessCpuSeconds(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');
  if (end == std::string::npos) return 0;
  // After the name: state is field 3, utime and stime fields 14 and 15.
  std::vector<std::string> fields;
  std::size_t at = end + 2;
  while (at < text.size()) {
    const std::size_t space = text.find(' ', at);
    fields.push_back(text.substr(at, space - at));
    if (space == std::string::npos) break;
    at = space + 1;
  }
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

double OwnCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Result {
  double medianMs = 0, ownCpuMs = 0, compositorCpuMs = 0;
  int passes = 0;
  std::vector<ScreenPoint> clicks;
  bool stable = true;
};

bool Same(const std::vector<ScreenPoint>& a, const std::vector<ScreenPoint>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto p, auto q) {
           return p.x == q.x && p.y == q.y;
         });
}

Result Measure(Desktop& backend, const TRect& area, Colorref colour, bool perSample, int passes,
               int warmUp, long compositorPid) {
  // Clicks really go out, so the reads after each click are timed too.
  RecordingDesktop desktop(backend, /*sendButtons=*/true);
  FakeForm form(desktop);
  form.Track(area, colour);
  Tracker& tracker = form.tracker;
  Result result;
  std::vector<double> times;
  double ownCpu = 0, compositorCpu = 0;
  for (int i = 0; i < warmUp + passes; ++i) {
    desktop.clicks.clear();
    // A tick comes long after the previous pass, as on a timer.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double cpu0 = OwnCpuSeconds(), compositor0 = ProcessCpuSeconds(compositorPid);
    const auto start = std::chrono::steady_clock::now();
    if (perSample)
      tracker.ScanPassPerSample();
    else
      tracker.ScanPass();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpu1 = OwnCpuSeconds(), compositor1 = ProcessCpuSeconds(compositorPid);
    if (i == 0) result.clicks = desktop.clicks;
    result.stable = result.stable && Same(desktop.clicks, result.clicks);
    if (i < warmUp) continue;
    times.push_back(ms);
    ownCpu += cpu1 - cpu0;
    compositorCpu += compositor1 - compositor0;
  }
  std::sort(times.begin(), times.end());
  result.medianMs = times[times.size() / 2];
  result.passes = int(times.size());
  result.ownCpuMs = ownCpu * 1000 / passes;
  result.compositorCpuMs = compositorCpu * 1000 / passes;
  return result;
}

// The three kinds of pass both benchmarks time over the 1920x1080 area.
struct Passes {
  Result idle, clicking, reference;
  int clickingPasses = 0;
  std::vector<ScreenPoint> expected;
};

Passes MeasureAll(Desktop& backend, int passes, long compositorPid) {
  const TRect area{0, 0, 1920, 1080};
  Passes p;
  p.expected = GridPointsOn(area, BenchTargets());
  p.idle = Measure(backend, area, kAbsent, false, passes, 10, compositorPid);
  p.clickingPasses = std::max(3, passes / 30);
  p.clicking = Measure(backend, area, kTarget, false, p.clickingPasses, 1, compositorPid);
  p.reference = Measure(backend, area, kTarget, true, 1, 0, compositorPid);
  return p;
}

// The table of passes and the cost per click; whether every pass clicked
// the expected points.
bool PrintPasses(const Passes& p, const char* compositor, const char* afterClick) {
  std::printf("%-10s %-36s %6s %10s %12s %12s %7s\n", "area", "passes", "passes", "ms/pass",
              "CPU program", (std::string("CPU ") + compositor).c_str(), "clicks");
  auto row = [&](const char* what, const Result& r, const std::vector<ScreenPoint>& want) {
    const bool same = r.stable && Same(r.clicks, want);
    std::printf("%-10s %-36s %6d %10.3f %9.3f ms %9.3f ms %7zu%s\n", "1920x1080", what, r.passes,
                r.medianMs, r.ownCpuMs, r.compositorCpuMs, r.clicks.size(),
                same ? "" : "  WRONG POINTS");
    return same;
  };
  bool ok = row("nothing to click (a usual tick)", p.idle, {});
  ok = row("clicking every target", p.clicking, p.expected) && ok;
  ok = row("clicking, per-sample reads", p.reference, p.expected) && ok;
  if (!p.clicking.clicks.empty())
    std::printf("\n%s:\n%.1f ms per click (clicking pass less an idle one, over %zu clicks).\n",
                afterClick,
                (p.clicking.medianMs - p.idle.medianMs) / double(p.clicking.clicks.size()),
                p.clicking.clicks.size());
  return ok;
}

int Verdict(bool ok) {
  std::printf("\n%s\n",
              ok ? "Bulk and per-sample passes clicked the same points, the expected ones."
                 : "MISMATCH: some pass clicked other points.");
  return ok ? 0 : 1;
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

[[noreturn]] void CompositorLost(Reason why) {
  std::fprintf(stderr, "%s\n", MessageFor({why, {}, {}}).c_str());
  std::_Exit(1);
}

// Through the desktop portal, as on GNOME: the dialog is answered from
// outside (bench/run), then the session's first picture is waited for.
int RunPortal(int passes, long compositorPid) {
  int argc = 1;
  char name[] = "wayland_scan_bench";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  DesktopRoute::Opening opening = PortalDesktop::Open(CompositorLost);
  if (!opening.desktop) {
    std::fprintf(stderr, "no desktop portal: %s\n", MessageFor(opening.why).c_str());
    return 1;
  }
  auto& backend = static_cast<PortalDesktop&>(*opening.desktop);
  backend.Start([](const Notice& notice) {
    std::fprintf(stderr, "%s\n", MessageFor(notice).c_str());
    QCoreApplication::exit(1);
  });
  const auto asked = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point allowed;
  double allowedMs = -1, firstPictureMs = -1;
  const Rect first = BenchTargets().front();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!backend.Allowed()) return;
    if (allowedMs < 0) allowedMs = MsSince(asked), allowed = std::chrono::steady_clock::now();
    if (backend.GetDC()->GetPixel(first.x + 50, first.y + 5) == kTarget) {
      firstPictureMs = MsSince(allowed);
      QCoreApplication::exit(0);
    }
  });
  poll.start(1);
  QTimer::singleShot(120000, [] { QCoreApplication::exit(1); });
  if (app.exec() != 0) {
    std::fprintf(stderr, "the portal did not share the screen\n");
    return 1;
  }
  poll.stop();

  const Passes measured = MeasureAll(backend, passes, compositorPid);

  // Tracking as a user would set it: a pass every 500 ms for 10 s.
  RecordingDesktop recording(backend, /*sendButtons=*/true);
  FakeForm form(recording);
  form.Track(TRect{0, 0, 1920, 1080}, kAbsent);
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { form.tracker.ScanPass(); });
  const double cpu0 = OwnCpuSeconds(), compositor0 = ProcessCpuSeconds(compositorPid);
  tick.start(500);
  QTimer::singleShot(10000, [] { QCoreApplication::exit(0); });
  app.exec();
  const double trackingCpuMs = (OwnCpuSeconds() - cpu0) * 1000 / 10;
  const double trackingCompositorMs = (ProcessCpuSeconds(compositorPid) - compositor0) * 1000 / 10;

  std::printf(
      "Scan passes through the desktop portal on headless mutter, one monitor of\n"
      "1920x1080 showing the painted desktop in a full-screen window; reads from the\n"
      "newest PipeWire picture kept in memory, clicks sent with RemoteDesktop. CPU\n"
      "per pass of the program and of mutter. Median of %d passes after 10 warm-up\n"
      "ones; clicking passes %d after 1.\n\n",
      passes, measured.clickingPasses);
  std::printf(
      "Asked until allowed (the dialog, answered by the benchmark's driver): %.0f ms\n"
      "Allowed until the first picture:                                  %.0f ms\n\n",
      allowedMs, firstPictureMs);
  const bool ok =
      PrintPasses(measured, "mutter",
                  "After each click a read waits until the stream tells the pointer's move there\n"
                  "(the compositor has handled the click; at most 100 ms)");
  std::printf(
      "Tracking at 500 ms with nothing to click, CPU per second: program %.2f ms, "
      "mutter %.2f ms.\n",
      trackingCpuMs, trackingCompositorMs);
  return Verdict(ok);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && !std::strcmp(argv[1], "--paint"))
    return WritePpm(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  int passes = 300;
  long compositorPid = 0;
  bool portal = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--portal")) portal = true;
    if (i + 1 < argc && !std::strcmp(argv[i], "--passes"))
      passes = std::max(3, std::atoi(argv[i + 1]));
    if (i + 1 < argc && !std::strcmp(argv[i], "--compositor-pid"))
      compositorPid = std::atol(argv[i + 1]);
  }
  if (portal) return RunPortal(passes, compositorPid);
  DesktopRoute::Opening opening = WlrootsDesktop::Open(CompositorLost);
  if (!opening.desktop) {
    std::fprintf(stderr, "no wlroots compositor with screencopy, virtual pointer and XWayland\n");
    return 1;
  }
  Desktop& backend = *opening.desktop;
  // The background comes up a little after the compositor.
  const Rect first = BenchTargets().front();
  for (int i = 0; i < 100; ++i) {
    if (backend.GetDC()->GetPixel(first.x + 50, first.y + 5) == kTarget) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  const Passes measured = MeasureAll(backend, passes, compositorPid);

  std::printf(
      "Scan passes on headless sway (pixman), one output of 1920x1080 at scale 1 showing\n"
      "the same painted desktop; reads with wlr-screencopy, clicks sent with the\n"
      "virtual pointer (onto the background), a pass every 20 ms or more. A pass holds\n"
      "the window for all of its time (ms/pass): a read after a quiet moment gets a\n"
      "frame at once, one right after another waits for the next refresh (60 Hz).\n"
      "CPU per pass of the program and of sway. Median of %d passes after 10 warm-up\n"
      "ones; clicking passes %d after 1.\n\n",
      passes, measured.clickingPasses);
  return Verdict(PrintPasses(
      measured, "sway", "After each click the rest of the area is read again from a new frame"));
}
