// The skinned message box: a modal window with the skinned frame, a system
// icon, the text in a skinned label and a row of skinned buttons; returns the
// result of the button that closed it (6 Yes, 7 No, 1 OK, 2 Cancel ...).
#pragma once

#include "skin/skin_data.h"
#include "skin/skin_form.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skinned_dialog.h"
#include "toolkit/forms.h"

#include <QPointer>

// Kinds of box: the caption and the icon.
enum TbsMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };
// Buttons: bit i is row i of the button table.
enum TbsMsgDlgBtn { mbYes = 0x1, mbNo = 0x2, mbOK = 0x4, mbCancel = 0x8, mbAbort = 0x10, mbRetry = 0x20,
                    mbIgnore = 0x40, mbAll = 0x80, mbNoToAll = 0x100, mbYesToAll = 0x200, mbHelp = 0x400 };

// The system icon of a kind, 32 x 32 (nothing for the custom kind).
class TbsMessageIcon : public TGraphicControl {
  Q_OBJECT
public:
  explicit TbsMessageIcon(TComponent* AOwner);
  int Kind() const { return kind_; }
  void SetKind(int kind);

protected:
  void Paint() override;

private:
  int kind_ = mtCustom;
};

class TbsMessageForm : public TForm {
  Q_OBJECT
public:
  explicit TbsMessageForm(TComponent* AOwner);
  TbsSkinForm* SkinForm() const { return skinForm_; }
  TbsSkinStdLabel* MessageLabel() const { return messageLabel_; }
  void SetMessageLabel(TbsSkinStdLabel* label) { messageLabel_ = label; }
  // The button of a component name ("Yes", "No", ...), or nullptr.
  TbsSkinButton* Button(const QString& name) const;

protected:
  // The box takes no text: a letter typed anywhere in it (its body clicked,
  // no button focused) answers as the button whose caption marks it.
  void KeyPress(QChar& Key) override;

private:
  TbsSkinForm* skinForm_;
  TbsSkinStdLabel* messageLabel_ = nullptr;
};

class TbsSkinMessage : public TbsSkinnedDialog {
  Q_OBJECT
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(bool AlphaBlendAnimation READ AlphaBlendAnimation WRITE SetAlphaBlendAnimation)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(TbsSkinData* CtrlSkinData READ CtrlSkinData WRITE SetCtrlSkinData)
  Q_PROPERTY(QString ButtonSkinDataName READ ButtonSkinDataName WRITE SetButtonSkinDataName)
  Q_PROPERTY(QString MessageLabelSkinDataName READ MessageLabelSkinDataName WRITE SetMessageLabelSkinDataName)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(TFont* DefaultButtonFont READ DefaultButtonFont WRITE SetDefaultButtonFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)

public:
  static constexpr int kButtonWidth = 60;
  static constexpr int kButtonGap = 10;

  Q_INVOKABLE explicit TbsSkinMessage(TComponent* AOwner);

  QString ButtonSkinDataName() const { return buttonSkinDataName_; }
  void SetButtonSkinDataName(const QString& v) { buttonSkinDataName_ = v; }
  QString MessageLabelSkinDataName() const { return labelSkinDataName_; }
  void SetMessageLabelSkinDataName(const QString& v) { labelSkinDataName_ = v; }
  TFont* DefaultFont() const { return defaultFont_; }
  void SetDefaultFont(TFont* v) { if (v) defaultFont_->Assign(v); }
  TFont* DefaultButtonFont() const { return defaultButtonFont_; }
  void SetDefaultButtonFont(TFont* v) { if (v) defaultButtonFont_->Assign(v); }
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v) { useSkinFont_ = v; }

  // Shows the box modally and returns the result of the button that closed it
  // (2 when closed otherwise). The help context is accepted and not used.
  int ShowMessageBox(const QString& text, int kind, int buttons, int helpContext);
  // The box as ShowMessageBox shows it, not yet shown; the caller frees it.
  TbsMessageForm* BuildMessageForm(const QString& text, int kind, int buttons);
  // The box of the running ShowMessageBox, or nullptr.
  TbsMessageForm* CurrentForm() const { return current_; }

  // Caption texts: the skin's string table when CtrlSkinData has one, else ours.
  QString KindCaption(int kind) const;
  QString ButtonCaption(int row) const;

protected:

private:
  QString ResourceString(const QString& key, const QString& builtIn) const;

  QString buttonSkinDataName_ = QStringLiteral("button");
  QString labelSkinDataName_ = QStringLiteral("stdlabel");
  TFont* defaultFont_;
  TFont* defaultButtonFont_;
  bool useSkinFont_ = true;
  QPointer<TbsMessageForm> current_;
};
