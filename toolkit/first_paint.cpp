#include "toolkit/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
class FirstPaintWatch : public QObject {
public:
  FirstPaintWatch(QWidget* widget, std::function<void()> then) : QObject(widget), then_(std::move(then)) {}
  bool eventFilter(QObject*, QEvent* event) override
  {
    if (event->type() == QEvent::Paint && then_) {
      // A zero timer fires once this paint pass has been flushed to the screen.
      QTimer::singleShot(0, parent(), std::exchange(then_, nullptr));
      deleteLater();
    }
    return false;
  }

private:
  std::function<void()> then_;
};
} // namespace

void RunAfterFirstPaint(QWidget* widget, std::function<void()> then)
{
  widget->installEventFilter(new FirstPaintWatch(widget, std::move(then)));
}
