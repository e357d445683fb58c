#include "app/user_messages.h"

#include "skin/skin_data.h"
#include "skin_controls/skin_message.h"
#include "toolkit/forms.h"

#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
// The components keep their messages as they are documented (English); the
// user reads them in Chinese. A reason at the end (after the last ": ") is the
// system's and stays in its words.
struct TMessageRule {
  const char* Pattern;
  const char16_t* Text;
};
const TMessageRule kRules[] = {
    {R"re(^Cannot create file "?(.+?)"?[:.] ([^:]+)$)re", u"无法创建文件 %1：%2"},
    {R"re(^Cannot write file "?(.+?)"?[:.] ([^:]+)$)re", u"无法写入文件 %1：%2"},
    {R"re(^Cannot open file "?(.+?)"?[:.] ([^:]+)$)re", u"无法打开文件 %1：%2"},
    {R"re(^Unable to write to (.+): ([^:]+)$)re", u"无法写入 %1：%2"},
    {R"re(^Unable to write to (.+)$)re", u"无法写入 %1"},
    {R"re(^Unable to read (.+): ([^:]+)$)re", u"无法读取 %1：%2"},
    {R"re(^The capture device failed: the sound system stopped responding$)re", u"录音设备出错：声音系统没有响应"},
    {R"re(^The capture device failed: the capture device was removed$)re", u"录音设备出错：录音设备已被移除"},
    {R"re(^The capture device failed: (.+)$)re", u"录音设备出错：%1"},
    {R"re(^Failed to create DirectSound device: DSERR_NODRIVER$)re", u"无法打开录音设备：没有可用的录音设备（DSERR_NODRIVER）"},
    {R"re(^Failed to create DirectSound device: DSERR_ALLOCATED$)re", u"无法打开录音设备：设备正被其他程序占用（DSERR_ALLOCATED）"},
    {R"re(^Failed to create DirectSound device: DSERR_BADFORMAT$)re", u"无法打开录音设备：设备不支持这种录音格式（DSERR_BADFORMAT）"},
    {R"re(^Failed to create DirectSound device: (.+)$)re", u"无法打开录音设备（%1）"},
    {R"re(^Failed to create DirectSound buffer$)re", u"无法打开录音设备：不能建立录音缓冲区"},
    {R"re(^(?:The component is busy|Component is Busy)$)re", u"录音正在进行，请先停止录音"},
    {R"re(^Invalid device number$)re", u"录音设备不存在"},
    {R"re(^File name is not assigned\.$)re", u"没有指定录音文件"},
    {R"re(^Input is not assigned$)re", u"没有录音来源"},
    {R"re(^The Stream is not opened$)re", u"录音设备没有打开"},
};

bool HasChinese(const QString& text)
{
  for (QChar c : text)
    if (c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) return true;
  return false;
}

TbsSkinData* MainWindowSkin()
{
  TForm* main = Application->MainForm();
  return main ? qobject_cast<TbsSkinData*>(main->FindComponent(QStringLiteral("bsSkinData1"))) : nullptr;
}
} // namespace

QString UserMessageText(const QString& message)
{
  static const std::vector<QRegularExpression> patterns = [] {
    std::vector<QRegularExpression> out;
    for (const TMessageRule& rule : kRules) out.emplace_back(QString::fromUtf8(rule.Pattern));
    return out;
  }();
  const QString text = message.trimmed();
  for (size_t i = 0; i < patterns.size(); ++i) {
    const QRegularExpressionMatch m = patterns[i].match(text);
    if (!m.hasMatch()) continue;
    // One pass: a "%2" inside a file name stays as it is.
    const QString out = QString::fromUtf16(kRules[i].Text);
    switch (m.lastCapturedIndex()) {
    case 0: return out;
    case 1: return out.arg(m.captured(1));
    default: return out.arg(m.captured(1), m.captured(2));
    }
  }
  return text;
}

namespace {
using TOwnMessage = std::unique_ptr<TbsSkinMessage, void (*)(TComponent*)>;

// A message box with the main window's skin (the built-in look before there is a main window).
TOwnMessage MainWindowMessage()
{
  TOwnMessage own(new TbsSkinMessage(nullptr), [](TComponent* c) { TComponent::Free(c); });
  TbsSkinData* skin = MainWindowSkin();
  own->SetSkinData(skin);
  own->SetCtrlSkinData(skin);
  return own;
}
} // namespace

int ShowUserMessage(const QString& text, int kind, int buttons, TbsSkinMessage* box)
{
  if (box) return box->ShowMessageBox(text, kind, buttons, 0);
  return MainWindowMessage()->ShowMessageBox(text, kind, buttons, 0);
}

TbsMessageForm* ShowUserNotice(const QString& text, int kind, std::function<void()> closed)
{
  TbsMessageForm* form = MainWindowMessage()->BuildMessageForm(text, kind, mbOK);
  form->SetOnClose([closed = std::move(closed)](TObject*, TForm::TCloseAction& action) {
    action = TForm::caFree;
    if (closed) closed();
  });
  // Its button would end a modal run; here it closes the box.
  if (TbsSkinButton* ok = form->Button(QStringLiteral("OK"))) ok->SetOnClick([form](TObject*) { form->Close(); });
  form->Show();
  return form;
}

void ReportErrorsInSkinnedBoxes()
{
  Application->OnException = [](const QString& message) {
    QString text = UserMessageText(message);
    if (!HasChinese(text)) text = QStringLiteral("出现错误：") + text;
    // Nobody could answer a box without a display.
    if (TApplication::Headless()) {
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
      std::fflush(stderr);
      return;
    }
    ShowUserMessage(text, mtError, mbOK);
  };
}
