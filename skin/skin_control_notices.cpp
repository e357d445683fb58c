#include "skin/skin_control_notices.h"

#include "skin/skin_data.h"
#include "toolkit/controls.h"

#include <QPointer>
#include <vector>

void SendSkinNoticeToControls(TWinControl* parent, quint32 msg, TbsSkinData* sender)
{
  if (!parent) return;
  QPointer<TbsSkinData> guard(sender);
  // A snapshot: a reaction may resize, re-align or free controls.
  std::vector<QPointer<TControl>> controls;
  for (int i = 0; i < parent->ControlCount(); ++i) controls.emplace_back(parent->Controls(i));
  for (const QPointer<TControl>& c : controls) {
    if (!c) continue;
    c->Perform(msg, PointerParam(sender), kSkinNoticeLParam);
    // A reaction freed the skin data: the notice is stale for the rest.
    if (sender && !guard) return;
    if (auto* w = qobject_cast<TWinControl*>(c.data())) SendSkinNoticeToControls(w, msg, sender);
  }
}
