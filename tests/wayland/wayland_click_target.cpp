// A native Wayland stand-in for the application being watched: a window of
// solid-colour rectangles that logs every button press in its own logical
// coordinates. Run it with QT_QPA_PLATFORM=wayland.
// Usage: wayland_click_target LOGFILE WIDTH HEIGHT X Y W H RRGGBB [X Y W H RRGGBB ...]
// With TARGET_FULLSCREEN=1 in the environment it covers its screen instead;
// TARGET_IMAGE=FILE shows that picture under the rectangles; TARGET_NAME=NAME
// is its title and app_id (wayland_click_target); TARGET_FLASH_MS=N shows
// and hides the rectangles every N ms from the first press on;
// TARGET_LOG_POINTER=1 also logs "enter" and "leave" as the pointer comes
// and goes.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {
struct Patch {
  QRectF rect;
  QColor colour;
};

// A plain window, not a widget: widgets round pointer positions to whole
// units, which at scale 1.5 would hide which physical pixel was clicked.
class Target : public QRasterWindow {
 public:
  Target(FILE* log, std::vector<Patch> patches) : log_(log), patches_(std::move(patches)) {
    if (qEnvironmentVariableIsSet("TARGET_IMAGE"))
      background_.load(qEnvironmentVariable("TARGET_IMAGE"));
    flash_.setInterval(qEnvironmentVariableIntValue("TARGET_FLASH_MS"));
    connect(&flash_, &QTimer::timeout, this, [this] {
      shown_ = !shown_;
      update();
    });
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(), size()), QColor(0x80, 0x80, 0x80));
    painter.drawImage(QPoint(), background_);
    if (shown_)
      for (const Patch& p : patches_) painter.fillRect(p.rect, p.colour);
    if (!ready_) {
      ready_ = true;
      std::fprintf(log_, "ready\n");
      std::fflush(log_);
    }
  }
  bool event(QEvent* event) override {
    if (logPointer_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
      std::fprintf(log_, "%s\n", event->type() == QEvent::Enter ? "enter" : "leave");
      std::fflush(log_);
    }
    return QRasterWindow::event(event);
  }
  void mousePressEvent(QMouseEvent* event) override {
    const QPointF at = event->position();
    QString colour = QStringLiteral("none");
    for (const Patch& p : patches_)
      if (shown_ && p.rect.contains(at)) colour = p.colour.name().mid(1);
    std::fprintf(log_, "click %.3f %.3f %s button %d\n", at.x(), at.y(), qPrintable(colour),
                 int(event->button()));
    std::fflush(log_);
    if (flash_.interval() > 0 && !flash_.isActive()) flash_.start();
  }

 private:
  FILE* log_;
  std::vector<Patch> patches_;
  QImage background_;
  QTimer flash_;
  bool shown_ = true;
  bool ready_ = false;
  const bool logPointer_ = qEnvironmentVariableIntValue("TARGET_LOG_POINTER") == 1;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 4) % 5 != 0) {
    std::fprintf(stderr, "usage: %s LOGFILE WIDTH HEIGHT X Y W H RRGGBB ...\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  // The compositor's app_id, for window rules.
  const QString name = qEnvironmentVariableIsSet("TARGET_NAME")
                           ? qEnvironmentVariable("TARGET_NAME")
                           : QStringLiteral("wayland_click_target");
  QGuiApplication::setDesktopFileName(name);
  FILE* log = std::fopen(argv[1], "w");
  if (!log) return 1;
  std::vector<Patch> patches;
  for (int i = 4; i + 4 < argc; i += 5)
    patches.push_back(
        {QRectF(atof(argv[i]), atof(argv[i + 1]), atof(argv[i + 2]), atof(argv[i + 3])),
         QColor(QStringLiteral("#") + argv[i + 4])});
  Target target(log, std::move(patches));
  const QSize size(atoi(argv[2]), atoi(argv[3]));
  target.setTitle(name);
  if (qEnvironmentVariableIsSet("TARGET_FULLSCREEN")) {
    target.showFullScreen();
  } else {
    target.setMinimumSize(size);
    target.setMaximumSize(size);
    target.resize(size);
    target.show();
  }
  return app.exec();
}
