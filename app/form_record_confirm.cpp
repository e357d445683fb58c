// The record window's skinned message box. Kept apart from form_record.cpp:
// the message box's header (through the skinned frame) and the mixer headers
// declare the meta type of the same event signature, so they cannot share a
// translation unit.
#include "app/form_record.h"

#include "skin_controls/skin_message.h"

TbsSkinMessage* TForm_Record::bsSkinMessage1() const
{
  return qobject_cast<TbsSkinMessage*>(FindComponent(QStringLiteral("bsSkinMessage1")));
}

int TForm_Record::AskWithSkinnedMessage(const QString& text)
{
  return bsSkinMessage1()->ShowMessageBox(text, mtWarning, mbYes | mbNo, 0);
}
