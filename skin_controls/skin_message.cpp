#include "skin_controls/skin_message.h"

#include "skin/skin_definitions.h"
#include "skin/skin_utils.h"

#include <QApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QTextLayout>
#include <QStyle>

namespace {
struct KindRow {
  const char* Key;
  const char16_t* Caption;
  QStyle::StandardPixmap Icon;
};
const KindRow kKinds[] = {
    {"MSG_CAP_WARNING", u"警告", QStyle::SP_MessageBoxWarning},
    {"MSG_CAP_ERROR", u"错误", QStyle::SP_MessageBoxCritical},
    {"MSG_CAP_INFORMATION", u"信息", QStyle::SP_MessageBoxInformation},
    {"MSG_CAP_CONFIRM", u"确认", QStyle::SP_MessageBoxQuestion},
};

struct ButtonRow {
  const char* Name;
  const char* Key;
  const char16_t* Caption;
  int Result;
};
const ButtonRow kButtons[] = {
    {"Yes", "MSG_BTN_YES", u"是(&Y)", mrYes},
    {"No", "MSG_BTN_NO", u"否(&N)", mrNo},
    {"OK", "MSG_BTN_OK", u"确定", mrOk},
    {"Cancel", "MSG_BTN_CANCEL", u"取消", mrCancel},
    {"Abort", "MSG_BTN_ABORT", u"放弃(&A)", mrAbort},
    {"Retry", "MSG_BTN_RETRY", u"重试(&R)", mrRetry},
    {"Ignore", "MSG_BTN_IGNORE", u"忽略(&I)", mrIgnore},
    {"All", "MSG_BTN_ALL", u"全部(&A)", mrAll},
    {"NoToAll", "MSG_BTN_NOTOALL", u"全都不(&O)", mrNoToAll},
    {"YesToAll", "MSG_BTN_YESTOALL", u"全都是(&Y)", mrYesToAll},
    {"Help", "MSG_BTN_HELP", u"帮助(&H)", 0},
};
constexpr int kButtonRows = int(std::size(kButtons));

// A kind outside the table is the custom kind.
bool KnownKind(int kind) { return kind >= mtWarning && kind <= mtConfirmation; }

// `text` in lines no wider than `width` in `font`: broken between words where
// it can be, anywhere inside a word longer than a line (a path, an address).
QString WrapText(const QString& text, const QFont& font, int width)
{
  QStringList lines;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  for (const QString& paragraph : text.split(u'\n')) {
    if (paragraph.isEmpty()) {
      lines << QString();
      continue;
    }
    QTextLayout layout(paragraph, font);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      QString part = paragraph.mid(line.textStart(), line.textLength());
      while (part.size() > 1 && part.back().isSpace()) part.chop(1);
      lines << part;
    }
    layout.endLayout();
  }
  return lines.join(u'\n');
}
} // namespace

// ---------------------------------------------------------------- icon

TbsMessageIcon::TbsMessageIcon(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 32, 32); }

void TbsMessageIcon::SetKind(int kind)
{
  kind_ = KnownKind(kind) ? kind : mtCustom;
  Invalidate();
}

void TbsMessageIcon::Paint()
{
  if (!KnownKind(kind_)) return;
  const QIcon icon = QApplication::style()->standardIcon(kKinds[kind_].Icon);
  const QPixmap pixmap = icon.pixmap(32, 32);
  if (pixmap.isNull()) return;
  Canvas()->DrawImage(QRect(0, 0, 32, 32), pixmap.toImage(), QRect(QPoint(0, 0), pixmap.size()));
}

// ---------------------------------------------------------------- form

TbsMessageForm::TbsMessageForm(TComponent* AOwner) : TForm(AOwner), skinForm_(new TbsSkinForm(this))
{
  SetPosition(poScreenCenter);
  SetBorderStyle(bsDialog);
  SetKeyPreview(true);
  skinForm_->SetBorderIcons(TbsSkinForm::TbsBorderIcons());
  skinForm_->SetShowObjectHint(true);
}

TbsSkinButton* TbsMessageForm::Button(const QString& name) const
{
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = qobject_cast<TbsSkinButton*>(Controls(i)); b && b->Name() == name) return b;
  return nullptr;
}

void TbsMessageForm::KeyPress(QChar& Key)
{
  TForm::KeyPress(Key);
  if (Key.isLetterOrNumber() && !(QGuiApplication::keyboardModifiers() & Qt::AltModifier) &&
      Perform(CM_DIALOGCHAR, Key.toUpper().unicode()))
    Key = QChar();
}

// ---------------------------------------------------------------- message

TbsSkinMessage::TbsSkinMessage(TComponent* AOwner)
    : TbsSkinnedDialog(AOwner, 200), defaultFont_(new TFont(this)), defaultButtonFont_(new TFont(this))
{
  for (TFont* f : {defaultFont_, defaultButtonFont_}) {
    f->SetName(QStringLiteral("Arial"));
    f->SetHeight(14);
  }
}

QString TbsSkinMessage::ResourceString(const QString& key, const QString& builtIn) const
{
  if (CtrlSkinData() && CtrlSkinData()->ResourceStrData()) return CtrlSkinData()->ResourceStrData()->GetResString(key);
  return builtIn;
}

QString TbsSkinMessage::KindCaption(int kind) const
{
  if (!KnownKind(kind)) return Application->Title();
  const KindRow& row = kKinds[kind];
  return ResourceString(QString::fromLatin1(row.Key), QString::fromUtf16(row.Caption));
}

QString TbsSkinMessage::ButtonCaption(int row) const
{
  if (row < 0 || row >= kButtonRows) return QString();
  return ResourceString(QString::fromLatin1(kButtons[row].Key), QString::fromUtf16(kButtons[row].Caption));
}

TbsMessageForm* TbsSkinMessage::BuildMessageForm(const QString& text, int kind, int buttons)
{
  auto* form = new TbsMessageForm(Application);
  try {
    TbsSkinForm* frame = form->SkinForm();
    DressFrame(frame);

    int buttonHeight = 25;
    if (CtrlSkinData() && !CtrlSkinData()->IsEmptySkin()) {
      const int index = CtrlSkinData()->FindSkinControl(buttonSkinDataName_);
      const TbsDataSkinControl* d = TbsSkinGeometry::Definition(CtrlSkinData(), index);
      if (const auto* b = dynamic_cast<const TbsDataSkinButtonControl*>(d); b && b->SkinRect.height() > 0)
        buttonHeight = b->SkinRect.height();
    }
    int n = 0;
    for (int i = 0; i < kButtonRows; ++i)
      if (buttons & (1 << i)) ++n;
    const int rowWidth = n > 0 ? n * kButtonWidth + (n - 1) * kButtonGap : 0;

    form->SetCaption(KindCaption(kind));
    const QRect work = Screen->WorkAreaRect();
    const QMargins frameMargins = form->NonClientMargins();
    // The text wraps where a box as wide as the work area would end it.
    const int maxLabelWidth = std::max(work.width() - frameMargins.left() - frameMargins.right() - 50 - 40, 40);

    auto* label = new TbsSkinStdLabel(form);
    label->SetName(QStringLiteral("Message"));
    label->SetParent(form);
    label->Font()->Assign(defaultFont_);
    label->SetDefaultFont(defaultFont_);
    label->SetUseSkinFont(useSkinFont_);
    label->SetSkinDataName(labelSkinDataName_);
    label->SetSkinData(CtrlSkinData());
    label->SetAutoSize(true);
    // The text as it stands: a '&' in a file name is no mnemonic.
    label->SetShowAccelChar(false);
    label->SetLeft(50);
    label->SetTop(15);
    label->SetCaption(text);
    if (label->Width() > maxLabelWidth) {
      TFont font;
      label->TextFont(&font);
      label->SetCaption(WrapText(text, font.ToQFont(), maxLabelWidth));
      label->SetWordWrap(true);
      label->SetWidth(maxLabelWidth);
      label->AdjustBounds();
    }
    form->SetMessageLabel(label);

    auto* icon = new TbsMessageIcon(form);
    icon->SetName(QStringLiteral("Image"));
    icon->SetParent(form);
    icon->SetKind(kind);
    icon->SetBounds(5, std::max(label->Top() + label->Height() / 2 - 16, 10), 32, 32);

    const int maxClientHeight = std::max(work.height() - frameMargins.top() - frameMargins.bottom(), buttonHeight + 20);
    const int clientHeight = std::min(buttonHeight + label->Height() + 50, maxClientHeight);
    int clientWidth = std::max(rowWidth, label->Left() + label->Width()) + 40;
    form->SetClientSize(clientWidth, clientHeight);
    const int frameWidth = form->Width() - form->ClientWidth();
    if (form->Width() > work.width()) form->SetWidth(work.width());
    else if (form->Width() < frame->MinimumSize().width()) form->SetWidth(frame->MinimumSize().width());
    clientWidth = form->Width() - frameWidth;

    const int defaultRow = buttons & mbOK ? 2 : buttons & mbYes ? 0 : 5;
    const int cancelRow = buttons & mbCancel ? 3 : buttons & mbNo ? 1 : 2;
    int x = (clientWidth - rowWidth) / 2;
    const int y = clientHeight - buttonHeight - 10;
    for (int i = 0; i < kButtonRows; ++i) {
      if (!(buttons & (1 << i))) continue;
      auto* b = new TbsSkinButton(form);
      b->SetName(QString::fromLatin1(kButtons[i].Name));
      b->SetParent(form);
      b->SetCanFocused(true);
      b->SetCaption(ButtonCaption(i));
      b->SetModalResult(kButtons[i].Result);
      b->SetDefault(i == defaultRow);
      b->SetCancel(i == cancelRow);
      b->SetDefaultHeight(buttonHeight);
      b->SetDefaultFont(defaultButtonFont_);
      b->SetUseSkinFont(useSkinFont_);
      b->SetSkinDataName(buttonSkinDataName_);
      b->SetSkinData(CtrlSkinData());
      b->SetBounds(x, y, kButtonWidth, buttonHeight);
      x += kButtonWidth + kButtonGap;
    }
    return form;
  } catch (...) {
    TComponent::Free(form);
    throw;
  }
}

int TbsSkinMessage::ShowMessageBox(const QString& text, int kind, int buttons, int helpContext)
{
  Q_UNUSED(helpContext);
  TbsMessageForm* form = BuildMessageForm(text, kind, buttons);
  current_ = form;
  // The box goes when this returns, also on an error.
  const auto done = qScopeGuard([&] {
    current_ = nullptr;
    TComponent::Free(form);
  });
  const int result = form->ShowModal();
  return result == mrNone ? mrCancel : result;
}
