#include "skin/skin_form_geometry.h"

#include "skin/skin_utils.h"
#include "toolkit/controls.h"

#include <algorithm>

namespace {
QRect WidenRight(QRect r, int dx)
{
  if (IsNullRect(r)) return r;
  r.setRight(r.right() + dx);
  return r;
}
} // namespace

TbsFrameGeometry MapFrameGeometry(const TbsDataSkinFormInfo& info, QSize picture, QSize window)
{
  TbsFrameGeometry g;
  g.Window = window;
  g.Picture = picture;
  g.Source.LT = info.LTPoint;
  g.Source.RT = info.RTPoint;
  g.Source.LB = info.LBPoint;
  g.Source.RB = info.RBPoint;
  g.Source.ClientRect = info.ClientRect;
  const int dx = g.Dx(), dy = g.Dy();
  g.Target = MoveFramePoints(g.Source, dx, dy);
  g.CaptionRect = WidenRight(info.CaptionRect, dx);
  g.ButtonsRect = info.ButtonsRect;
  if (!IsNullRect(g.ButtonsRect) && g.ButtonsRect.left() > picture.width() / 2) g.ButtonsRect.translate(dx, 0);
  g.MaskRectArea = info.MaskRectArea;
  if (!IsNullRect(g.MaskRectArea)) {
    g.MaskRectArea.setRight(g.MaskRectArea.right() + dx);
    g.MaskRectArea.setBottom(g.MaskRectArea.bottom() + dy);
  }
  g.HitLT = info.HitTestLTPoint;
  g.HitRT = info.HitTestRTPoint + QPoint(dx, 0);
  g.HitLB = info.HitTestLBPoint + QPoint(0, dy);
  g.HitRB = info.HitTestRBPoint + QPoint(dx, dy);
  g.BorderWidth = std::max(0, info.BorderWidth);
  return g;
}

QMargins SkinFrameMargins(const TbsDataSkinFormInfo& info, QSize picture)
{
  const QRect& cl = info.ClientRect;
  const int right = picture.width() - (cl.x() + cl.width());
  const int bottom = picture.height() - (cl.y() + cl.height());
  return QMargins(std::max(0, cl.x()), std::max(0, cl.y()), std::max(0, right), std::max(0, bottom));
}

QMargins DefaultFrameMargins(bool toolWindow)
{
  const int caption = toolWindow ? kDefaultToolCaptionHeight : kDefaultCaptionHeight;
  return QMargins(kDefaultBorder, kDefaultBorder + caption, kDefaultBorder, kDefaultBorder);
}

QRect PlaceSkinRect(const QRect& r, const TbsDataSkinFormInfo& info, QSize picture, int dx, int dy)
{
  const int pw = picture.width(), ph = picture.height();
  const QRect tl = SkinRect(0, 0, info.LTPoint.x(), info.LTPoint.y());
  const QRect tr = SkinRect(info.RTPoint.x(), 0, pw, info.RTPoint.y());
  const QRect bl = SkinRect(0, info.LBPoint.y(), info.LBPoint.x(), ph);
  const QRect br = SkinRect(info.RBPoint.x(), info.RBPoint.y(), pw, ph);
  if (RectInRect(r, tl)) return r;
  if (RectInRect(r, tr)) return r.translated(dx, 0);
  if (RectInRect(r, bl)) return r.translated(0, dy);
  if (RectInRect(r, br)) return r.translated(dx, dy);
  const QPoint a = r.topLeft();
  const QPoint b(r.x() + r.width(), r.y() + r.height());
  QRect out = r;
  auto grow = [&out](int right, int bottom) {
    out.setRight(out.right() + right);
    out.setBottom(out.bottom() + bottom);
  };
  if (PointIn(tl, a) && PointIn(br, b)) grow(dx, dy);
  else if (PointIn(tl, a) && PointIn(tr, b)) grow(dx, 0);
  else if (PointIn(bl, a) && PointIn(br, b)) {
    grow(dx, 0);
    out.translate(0, dy);
  } else if (PointIn(tl, a) && PointIn(bl, b)) grow(0, dy);
  else if (PointIn(tr, a) && PointIn(br, b)) {
    out.translate(dx, 0);
    grow(0, dy);
  }
  return out;
}

QSize MinimumFrameSize(const TbsSizeLimitsInput& in)
{
  int w, h;
  if (in.SkinInUse) {
    w = in.Picture.width();
    h = in.Picture.height() - std::max(0, in.ClientRect.height());
  } else {
    w = kDefaultMinWidth;
    h = in.CaptionHeight + 2 * kDefaultBorder;
  }
  if (!in.SkinInUse && in.MinWidth > 0) w = in.MinWidth;
  else if (in.MinWidth > w && !in.Minimized) w = in.MinWidth;
  if (in.MinHeight > h && !in.Minimized && !in.RolledUp) h = in.MinHeight;
  return QSize(std::max(0, w), std::max(0, h));
}

int SkinHitTest(const TbsHitTestInput& in, QPoint p)
{
  const TbsFrameGeometry& g = *in.Geometry;
  const QRect& cl = g.Target.ClientRect;
  const int W = g.Window.width(), H = g.Window.height();
  const bool inClient = PointIn(cl, p);
  const bool overCaption = PointIn(in.CaptionObject, p);
  if (in.RolledUpOrMinimized) return overCaption ? HTCAPTION : HTOBJECT;
  if (in.ObjectHovered && !overCaption && !inClient && !in.InMoveSize) return HTOBJECT;
  const int normal = inClient ? HTCLIENT : overCaption ? HTCAPTION : HTOBJECT;
  if (in.Maximized || !in.Sizeable) return normal;

  const int b = g.BorderWidth;
  const QPoint probes[] = {p - QPoint(b, 0), p - QPoint(0, b), p + QPoint(b, 0), p + QPoint(0, b)};
  bool nearEdge = false;
  if (!in.MaskTransparent) {
    const QRect window(0, 0, W, H);
    for (QPoint q : probes) nearEdge = nearEdge || !PointIn(window, q);
  } else if (!PointIn(g.MaskRectArea, p)) {
    for (QPoint q : probes) nearEdge = nearEdge || in.MaskTransparent(q);
  }
  if (!nearEdge) return normal;

  const int x = p.x(), y = p.y();
  const int clRight = cl.x() + cl.width(), clBottom = cl.y() + cl.height();
  if (x <= g.HitLT.x() && y <= g.HitLT.y()) return HTTOPLEFT;
  if (x >= g.HitRT.x() && y <= g.HitRT.y()) return HTTOPRIGHT;
  if (x <= g.HitLB.x() && y >= g.HitLB.y()) return HTBOTTOMLEFT;
  if (x >= g.HitRB.x() && y >= g.HitRB.y()) return HTBOTTOMRIGHT;
  if (PointIn(SkinRect(g.HitLT.x(), 0, g.HitRT.x(), cl.y()), p)) return HTTOP;
  if (PointIn(SkinRect(g.HitLB.x(), clBottom, g.HitRB.x(), H), p)) return HTBOTTOM;
  if (PointIn(SkinRect(0, g.HitLT.y(), cl.x(), g.HitLB.y()), p)) return HTLEFT;
  if (PointIn(SkinRect(clRight, g.HitRT.y(), W, g.HitRB.y()), p)) return HTRIGHT;
  // Near an edge yet in no zone (points of an odd skin): the ordinary answer.
  return normal;
}

int DefaultHitTest(QSize window, const QMargins& m, bool sizeable, bool overButton, QPoint p)
{
  const int W = window.width(), H = window.height();
  const QRect client = SkinRect(m.left(), m.top(), W - m.right(), H - m.bottom());
  if (PointIn(client, p)) return HTCLIENT;
  if (sizeable) {
    const int corner = m.top();
    const bool left = p.x() < kDefaultBorder, right = p.x() >= W - kDefaultBorder;
    const bool top = p.y() < kDefaultBorder, bottom = p.y() >= H - kDefaultBorder;
    if (left || right || top || bottom) {
      const bool nearLeft = p.x() < corner, nearRight = p.x() >= W - corner;
      const bool nearTop = p.y() < corner, nearBottom = p.y() >= H - corner;
      if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
      if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
      if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
      if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
      if (top) return HTTOP;
      if (bottom) return HTBOTTOM;
      return left ? HTLEFT : HTRIGHT;
    }
  }
  if (overButton) return HTOBJECT;
  return p.y() < m.top() ? HTCAPTION : HTOBJECT;
}

QPoint SnapToEdges(QPoint proposed, QSize size, const QRect& area, int distance)
{
  const auto near = [distance](int value, int edge) { return edge - distance < value && value < edge + distance; };
  // Every rule looks at the proposed corner, so a window near two opposite
  // edges ends on the later one.
  const int pl = proposed.x(), pt = proposed.y();
  int l = pl, t = pt;
  const int right = area.x() + area.width(), bottom = area.y() + area.height();
  if (near(pl, area.x())) l = area.x();
  if (near(pt, area.y())) t = area.y();
  if (near(pl + size.width(), right)) l = right - size.width();
  if (near(pt + size.height(), bottom)) t = bottom - size.height();
  return QPoint(l, t);
}

QPoint MinimizedSlot(const QRect& area, QSize slot, const std::vector<QPoint>& taken)
{
  const int w = std::max(1, slot.width()), h = std::max(1, slot.height());
  const QPoint first(area.x(), area.y() + area.height() - h);
  QPoint p = first;
  // Each taken corner can block one slot at most: one more try always finds a free one.
  for (size_t tries = 0; tries <= taken.size(); ++tries) {
    if (std::find(taken.begin(), taken.end(), p) == taken.end()) return p;
    if (p.x() + 2 * w <= area.x() + area.width()) {
      p.rx() += w;
    } else {
      p = QPoint(area.x(), p.y() - h);
      if (p.y() < area.y()) return first;
    }
  }
  return first;
}
