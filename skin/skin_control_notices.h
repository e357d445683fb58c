// Skin notices from a form to its controls. A skinned form passes the notices
// its skin data sends (SKN_CHANGING, SKN_CHANGE, SKN_CHANGED; WParam the
// sending TbsSkinData) on to every control it holds, children first-level
// before their own children; each skinned control reacts when the sender is
// the skin it is bound to (it forgets its definition on SKN_CHANGING and
// applies the new skin on SKN_CHANGE).
#pragma once

#include <QtGlobal>

class TWinControl;
class TbsSkinData;

// Sends the notice to every control inside `parent` (not to `parent` itself).
// A control freed by its own reaction is skipped, not touched; when a reaction
// frees the sending skin data, the notice goes no further.
void SendSkinNoticeToControls(TWinControl* parent, quint32 msg, TbsSkinData* sender);
