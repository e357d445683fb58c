// velmora-tool form layout FILE [OUT.png]: where every control of a window
// description ends up once its skin is applied, and which skin definition it
// is bound to; with OUT.png also the skinned window's picture.
#include "skin/skin_control_notices.h"
#include "skin/skin_data.h"
#include "toolkit/controls.h"
#include "toolkit/form_reader.h"
#include "toolkit/form_render.h"

#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>

namespace {
// Every component the read created (the root's owned tree).
void ForEachComponent(TComponent* root, const std::function<void(TComponent*)>& f)
{
  f(root);
  for (int i = 0; i < root->ComponentCount(); ++i) ForEachComponent(root->Components(i), f);
}

// The skin definition a control draws from: its name, "missing:NAME" when the
// skin has none of that name (the default look), "-" for a control without skin.
QString BoundDefinition(const TControl* c)
{
  const QVariant data = c->property("SkinData");
  const QVariant name = c->property("SkinDataName");
  if (!data.isValid() || !name.isValid()) return QStringLiteral("-");
  const auto* skin = qobject_cast<TbsSkinData*>(data.value<QObject*>());
  if (!skin) return QStringLiteral("-");
  if (skin->IsEmptySkin() || skin->FindSkinControl(name.toString()) < 0)
    return QStringLiteral("missing:") + name.toString();
  return name.toString();
}

void PrintControls(QTextStream& out, const TWinControl* parent)
{
  for (int i = 0; i < parent->ControlCount(); ++i) {
    const TControl* c = parent->Controls(i);
    out << c->Name() << ' ' << c->metaObject()->className() << ' ' << c->Left() << ' ' << c->Top() << ' '
        << c->Width() << ' ' << c->Height() << ' ' << BoundDefinition(c) << '\n';
    if (auto* w = qobject_cast<const TWinControl*>(c)) PrintControls(out, w);
  }
}
} // namespace

int RunFormLayout(QStringList args)
{
  if (args.size() != 1 && args.size() != 2) {
    QTextStream(stderr) << "usage: velmora-tool form layout FILE [OUT.png]\n";
    return 2;
  }
  try {
    // Read as for checking (no device opens), then bring the skins to life.
    struct Deleter {
      void operator()(TComponent* c) const { TComponent::Free(c); }
    };
    std::unique_ptr<TComponent, Deleter> root(
        ReadComponentFile(args[0], nullptr, nullptr, TReadOptions{.Designing = true}));
    auto* window = qobject_cast<TWinControl*>(root.get());
    if (!window) {
      QTextStream(stderr) << args[0] << ": " << root->metaObject()->className() << " is not a window\n";
      return 1;
    }
    std::vector<TbsSkinData*> skins;
    ForEachComponent(root.get(), [&](TComponent* c) {
      c->SetDesigning(false);
      if (auto* skin = qobject_cast<TbsSkinData*>(c)) skins.push_back(skin);
    });
    // Notices go to the forms of the running program only, not to this one.
    TbsSkinData::SetApplicationForms([] { return std::vector<TComponent*>(); });
    for (TbsSkinData* skin : skins) {
      if (skin->CompressedStoredSkin()) skin->LoadFromStoredSkin(skin->CompressedStoredSkin());
      SendSkinNoticeToControls(window, SKN_CHANGE, skin);
    }
    TbsSkinData::SetApplicationForms(nullptr);
    window->Realign();
    QTextStream out(stdout);
    out << window->Name() << ' ' << window->metaObject()->className() << ' ' << window->Left() << ' ' << window->Top()
        << ' ' << window->Width() << ' ' << window->Height() << " -\n";
    PrintControls(out, window);
    if (args.size() == 2 && !RenderControlImage(window).save(args[1], "PNG")) {
      QTextStream(stderr) << "form layout: cannot write " << args[1] << "\n";
      return 1;
    }
    return 0;
  } catch (const Exception& e) {
    TbsSkinData::SetApplicationForms(nullptr);
    QTextStream(stderr) << e.Message() << "\n";
    return 1;
  }
}
