// A window with the skinned frame over the built-in skin (or none), for the
// frame's tests and benchmarks.
#pragma once

#include "skin/skin_data.h"
#include "skin/skin_form.h"
#include "toolkit/form_render.h"
#include "toolkit/forms.h"

#include <QCoreApplication>
#include <QFile>
#include <memory>
#include <ostream>

inline std::ostream& operator<<(std::ostream& os, const QPoint& p) { return os << '(' << p.x() << ',' << p.y() << ')'; }
inline void PrintTo(const QRect& r, std::ostream* os)
{
  *os << "[" << r.x() << ',' << r.y() << " - " << r.x() + r.width() << ',' << r.y() + r.height() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << 'x' << s.height(); }
inline void PrintTo(const QMargins& m, std::ostream* os)
{
  *os << m.left() << ',' << m.top() << ',' << m.right() << ',' << m.bottom();
}

inline QByteArray BuiltinSkinBlock()
{
  TbsCompressedStoredSkin stored(nullptr);
  stored.ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
  return stored.CompressedData();
}

struct SkinnedWindow {
  TForm* Form = nullptr;
  TbsCompressedStoredSkin* Stored = nullptr;
  TbsSkinData* Data = nullptr;
  TbsSkinForm* Frame = nullptr;
  QPoint Cursor;

  // A `style` window with a 246 x 500 client area, at 100, 100; the skin is
  // loaded unless `block` is empty.
  explicit SkinnedWindow(QByteArray block = BuiltinSkinBlock(), TForm::TFormBorderStyle style = TForm::bsSizeable,
                         QSize client = QSize(246, 500))
  {
    Form = new TForm(nullptr);
    Form->SetBorderStyle(style);
    Form->SetCaption(QStringLiteral("Ostrel网络收音机"));
    Form->SetBounds(100, 100, client.width(), client.height());
    Frame = new TbsSkinForm(Form);
    Frame->SetName(QStringLiteral("bsSkinForm1"));
    Frame->CursorPos = [this] { return Cursor; };
    Data = new TbsSkinData(Form);
    Frame->SetSkinData(Data);
    Stored = new TbsCompressedStoredSkin(Form);
    if (!block.isEmpty()) {
      Stored->SetCompressedData(block);
      Data->SetCompressedStoredSkin(Stored);
    }
  }
  ~SkinnedWindow() { TComponent::Free(Form); }
  SkinnedWindow(const SkinnedWindow&) = delete;
  SkinnedWindow& operator=(const SkinnedWindow&) = delete;

  void Activate(bool on) { Form->SendMessage(WM_ACTIVATE, on ? 1 : 0); }
  QImage Render() const { return RenderControlImage(Form); }
  // Screen point of a window point.
  QPoint Screen(QPoint windowPoint) const
  {
    const QMargins m = Form->NonClientMargins();
    return Form->ClientOrigin() - QPoint(m.left(), m.top()) + windowPoint;
  }
  qintptr At(QPoint windowPoint) const
  {
    const QPoint s = Screen(windowPoint);
    return MakeMouseLParam(s.x(), s.y());
  }
  int HitAt(QPoint windowPoint) const { return int(Form->SendMessage(WM_NCHITTEST, 0, At(windowPoint))); }
  // The mouse moves over the frame to a window point (and the hover timer ticks).
  void MoveTo(QPoint windowPoint)
  {
    Cursor = Screen(windowPoint);
    const int hit = HitAt(windowPoint);
    Form->SendMessage(WM_NCMOUSEMOVE, hit, At(windowPoint));
  }
  void Press(QPoint windowPoint, quint32 msg = WM_NCLBUTTONDOWN)
  {
    Form->SendMessage(msg, HitAt(windowPoint), At(windowPoint));
  }
  void Release(QPoint windowPoint, quint32 msg = WM_NCLBUTTONUP)
  {
    Form->SendMessage(msg, HitAt(windowPoint), At(windowPoint));
  }
};

// The built-in skin with its definition text edited: each pair replaces every
// occurrence of the first text by the second (lines end in CR LF).
inline QByteArray EditedSkinBlock(const std::vector<std::pair<QByteArray, QByteArray>>& edits)
{
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(BuiltinSkinBlock());
  QByteArray container = stored.Inflate();
  const qsizetype text = container.indexOf("[VERSION]");
  QByteArray definition = container.mid(text);
  for (const auto& [from, to] : edits) definition.replace(from, to);
  return DeflateSkin(container.left(text) + definition);
}

// Adds a skin object (its section lines joined by CR LF) to the built-in skin's list.
inline std::pair<QByteArray, QByteArray> AddSkinObject(const QByteArray& entry, const QByteArray& section)
{
  return {"12=trayanimate:animate\r\n", "12=trayanimate:animate\r\n13=" + entry + "\r\n\r\n" + section + "\r\n"};
}
inline std::pair<QByteArray, QByteArray> ObjectCount(int n)
{
  return {"[SKINOBJECTS]\r\ncount=13", "[SKINOBJECTS]\r\ncount=" + QByteArray::number(n)};
}
