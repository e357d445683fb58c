// Skins and windows for the skinned control tests: the built-in skin, small
// skins built in memory, and pictures of what a control paints.
#pragma once

#include "platform/shell_namespace.h"
#include "skin/skin_data.h"
#include "support/pixels.h"
#include "toolkit/forms.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace skin_test {

struct ComponentDeleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
template <typename T>
using Owned = std::unique_ptr<T, ComponentDeleter>;

// The program's own skin (resources/skin/skin.bin), loaded into new skin data.
TbsSkinData* LoadBuiltinSkin(TComponent* owner);

// Picture 0 of the small skins: 40 x 30, column x red x*6, row y green y*8, blue 90.
QImage ColumnPicture();
TColor ColumnColor(int x, int y);

// A loaded skin with picture 0 (ColumnPicture), picture 1 (a mask: black in
// columns 0..3 of an 8 x 8 square, white elsewhere) and these control lines
// ("[SKINCONTROLS]", "count=..", entries, then the sections).
TbsSkinData* LoadSmallSkin(TComponent* owner, const QStringList& controlLines);
// The definition lines of LoadSmallSkin: a list of "name:kind" entries and the sections.
QStringList ControlLines(const QStringList& entries, const QStringList& sections);

// The classes window descriptions of these tests use.
void RegisterClasses();

// A form that notices go nowhere near the program's windows.
TForm* NewForm();

// What the control paints at its size (over a magenta background).
QImage Paint(TControl* control);
constexpr TColor kUnpainted = RGB(255, 0, 255);

// Receives the addresses the desktop would open for a scheme of the tests.
class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> urls;
public slots:
  void open(const QUrl& url) { urls << url; }
};

// A temporary home with a Desktop folder, and the shell namespace over it
// while this lives (the previous one comes back after).
class TemporaryHome {
public:
  TemporaryHome();
  ~TemporaryHome();
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
  const QString& Path() const { return home_; }

private:
  QTemporaryDir dir_;
  QString home_;
  std::unique_ptr<TShellNamespace> previous_;
};

// Writes a small file (a failure fails the test).
void Touch(const QString& path);

} // namespace skin_test
