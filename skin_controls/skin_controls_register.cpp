#include "skin_controls/skin_controls_register.h"

#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_check_box.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_file_dialog.h"
#include "skin_controls/skin_file_list.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_message.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls/skin_shell_boxes.h"

void RegisterSkinControlClasses()
{
  TIntegerIdents::Register(QStringLiteral("TbsButtonLayout"), {{QStringLiteral("blGlyphLeft"), blGlyphLeft},
                                                               {QStringLiteral("blGlyphRight"), blGlyphRight},
                                                               {QStringLiteral("blGlyphTop"), blGlyphTop},
                                                               {QStringLiteral("blGlyphBottom"), blGlyphBottom}});
  TIntegerIdents::Register(QStringLiteral("TbsSkinBorderStyle"),
                           {{QStringLiteral("bvFrame"), int(TbsSkinBorderStyle::bvFrame)},
                            {QStringLiteral("bvRaised"), int(TbsSkinBorderStyle::bvRaised)},
                            {QStringLiteral("bvLowered"), int(TbsSkinBorderStyle::bvLowered)},
                            {QStringLiteral("bvNone"), int(TbsSkinBorderStyle::bvNone)}});
  TComponentClasses::Register<TbsSkinButton>();
  TComponentClasses::Register<TbsSkinCheckRadioBox>();
  TComponentClasses::Register<TbsSkinSpeedButton>();
  TComponentClasses::Register<TbsSkinMenuSpeedButton>();
  TComponentClasses::Register<TbsSkinPanel>();
  TComponentClasses::Register<TbsSkinToolBar>();
  TComponentClasses::Register<TbsSkinStatusBar>();
  TComponentClasses::Register<TbsSkinLabel>();
  TComponentClasses::Register<TbsSkinStatusPanel>();
  TComponentClasses::Register<TbsSkinStdLabel>();
  TComponentClasses::Register<TbsSkinLinkLabel>();
  TComponentClasses::Register<TbsSkinScrollBar>();
  TComponentClasses::Register<TbsSkinListBox>();
  TComponentClasses::Register<TbsSkinComboBox>();
  TComponentClasses::Register<TbsSkinMessage>();
  TComponentClasses::Register<TbsSkinEdit>();
  TComponentClasses::Register<TbsSkinFileListView>();
  TComponentClasses::Register<TbsSkinShellComboBox>();
  TComponentClasses::Register<TbsSkinFilterComboBox>();
  TComponentClasses::Register<TbsSkinOpenDialog>();
  TComponentClasses::Register<TbsSkinSaveDialog>();
}
