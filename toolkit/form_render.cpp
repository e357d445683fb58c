#include "toolkit/form_render.h"

#include "toolkit/bmp_codec.h"
#include "toolkit/form_reader.h"

#include <QPainter>
#include <memory>

QImage RenderControlImage(TWinControl* control)
{
  if (!control || control->Width() <= 0 || control->Height() <= 0)
    throw EInvalidOperation(QStringLiteral("Nothing to render: the window has no size"));
  // A picture of the window as large as the description says could be terabytes.
  if (control->Width() > kMaxBmpDimension || control->Height() > kMaxBmpDimension ||
      qint64(control->Width()) * control->Height() > kMaxBmpPixels)
    throw EInvalidOperation(QStringLiteral("Too large to render: the window is %1 x %2 pixels (at most %3 x %3, %4 pixels)")
                                .arg(control->Width())
                                .arg(control->Height())
                                .arg(kMaxBmpDimension)
                                .arg(kMaxBmpPixels));
  QImage image(control->Width(), control->Height(), QImage::Format_RGB32);
  image.fill(ColorToQColor(clBtnFace));
  QPainter painter(&image);
  control->PaintTo(painter, 0, 0);
  return image;
}

QImage RenderDescriptionFile(const QString& path)
{
  TReadOptions options;
  options.Designing = true;
  struct Deleter {
    void operator()(TComponent* c) const { TComponent::Free(c); }
  };
  std::unique_ptr<TComponent, Deleter> root(ReadComponentFile(path, nullptr, nullptr, options));
  auto* window = qobject_cast<TWinControl*>(root.get());
  if (!window)
    throw EInvalidOperation(QStringLiteral("%1: %2 is not a window").arg(path, QString::fromLatin1(root->metaObject()->className())));
  try {
    return RenderControlImage(window);
  } catch (const EInvalidOperation& e) {
    throw EInvalidOperation(QStringLiteral("%1: %2").arg(path, e.Message()));
  }
}
