// What the user is told: every report in Chinese (the system's own reason may
// follow in its words), shown in the skinned message box.
#pragma once

#include <QString>
#include <functional>

class TbsMessageForm;
class TbsSkinMessage;

// The Chinese text of a message: the components' own English messages (file,
// capture and settings errors) said in Chinese with the system's reason kept;
// any other text as it stands.
QString UserMessageText(const QString& message);

// Shows `text` in the skinned message box (kind and buttons as
// TbsSkinMessage::ShowMessageBox takes them) and returns the answer. `box`
// gives the skin; without one the main window's skin is used (the built-in
// look before there is a main window).
int ShowUserMessage(const QString& text, int kind, int buttons, TbsSkinMessage* box = nullptr);

// Shows `text` in the skinned message box with an OK button (the main
// window's skin) and returns at once: nothing waits for the user. The box
// frees itself when closed; `closed` runs then.
TbsMessageForm* ShowUserNotice(const QString& text, int kind, std::function<void()> closed = {});

// Errors that escape an event handler or start-up are shown this way, in
// Chinese (a text without Chinese after "出现错误："); without a display on stderr.
void ReportErrorsInSkinnedBoxes();
