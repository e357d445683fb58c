// velmora-tool form render FILE OUT.png: what a window description looks like.
#include "toolkit/form_render.h"

#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

int RunFormRender(QStringList args)
{
  if (!args.isEmpty() && args.first() == QLatin1String("render")) args.removeFirst();
  if (args.size() != 2) {
    QTextStream(stderr) << "usage: velmora-tool form render FILE OUT.png\n";
    return 2;
  }
  try {
    const QImage image = RenderDescriptionFile(args[0]);
    if (!image.save(args[1], "PNG")) {
      QTextStream(stderr) << "form render: cannot write " << args[1] << "\n";
      return 1;
    }
    QTextStream(stdout) << args[1] << ": " << image.width() << " x " << image.height() << "\n";
    return 0;
  } catch (const Exception& e) {
    QTextStream(stderr) << e.Message() << "\n";
    return 1;
  }
}
