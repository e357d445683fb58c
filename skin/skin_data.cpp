#include "skin/skin_data.h"

#include "skin/skin_form.h"
#include "skin/skin_hint.h"
#include "skin/skin_menu.h"
#include "skin/tray_icon.h"
#include "toolkit/forms.h"
#include "toolkit/regular_file.h"
#include "toolkit/string_list.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPointer>
#include <QtEndian>
#include <zlib.h>

namespace {
constexpr int kInflateChunk = 4096;
constexpr qint64 kMaxPackedFileSize = 64 * 1024 * 1024;

template <typename Sink>
void InflateBlock(const QByteArray& data, Sink&& sink)
{
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw EZDecompressionError(QStringLiteral("compression error"));
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
  zs.avail_in = uInt(data.size());
  char chunk[kInflateChunk];
  qint64 total = 0;
  int ret = Z_OK;
  try {
    do {
      zs.next_out = reinterpret_cast<Bytef*>(chunk);
      zs.avail_out = kInflateChunk;
      ret = inflate(&zs, Z_NO_FLUSH);
      const int produced = kInflateChunk - int(zs.avail_out);
      // A damaged stream, or one that ends before its end marker.
      if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR ||
          (ret == Z_BUF_ERROR && produced == 0))
        throw EZDecompressionError(QStringLiteral("compression error"));
      total += produced;
      if (total > kMaxInflatedSkinSize)
        throw ESkinDataError(QStringLiteral("The stored skin inflates to more than %1 bytes").arg(kMaxInflatedSkinSize));
      sink(chunk, produced);
    } while (ret != Z_STREAM_END);
  } catch (...) {
    inflateEnd(&zs);
    throw;
  }
  inflateEnd(&zs);
}

// Reads the container front to back; every read is checked against its end.
class ContainerReader {
public:
  explicit ContainerReader(const QByteArray& data) : data_(data) {}
  qint32 ReadInt32(const char* what)
  {
    Need(4, what);
    const qint32 v = qFromLittleEndian<qint32>(data_.constData() + pos_);
    pos_ += 4;
    return v;
  }
  quint8 ReadByte(const char* what)
  {
    Need(1, what);
    return quint8(data_[pos_++]);
  }
  TbsSkinPicture ReadBmp(qint64& pixelBudget)
  {
    if (pos_ >= data_.size()) Truncated("a picture");
    const QByteArray rest = QByteArray::fromRawData(data_.constData() + pos_, data_.size() - pos_);
    const qint64 at = pos_;
    try {
      const TBmpInfo head = ReadBmpInfo(rest);
      if (head.Width > kMaxSkinPictureDimension || head.Height > kMaxSkinPictureDimension)
        throw ESkinDataError(QStringLiteral("picture at offset %1 is %2 x %3; skin pictures are at most %4 pixels wide and high")
                                 .arg(at).arg(head.Width).arg(head.Height).arg(kMaxSkinPictureDimension));
      pixelBudget -= qint64(head.Width) * head.Height;
      if (pixelBudget < 0)
        throw ESkinDataError(QStringLiteral("the pictures of the skin exceed %1 pixels in all").arg(kMaxSkinPixels));
      TBmpInfo info;
      TbsSkinPicture picture;
      picture.Image = DecodeBmp(rest, &info);
      picture.BitsPerPixel = info.BitsPerPixel;
      pos_ += info.FileSize;
      return picture;
    } catch (const EInvalidGraphic& e) {
      throw EInvalidGraphic(QStringLiteral("Stored skin, picture at offset %1: %2").arg(at).arg(e.Message()));
    }
  }
  QByteArray Rest() const { return data_.mid(pos_); }

private:
  void Need(qint64 n, const char* what)
  {
    if (data_.size() - pos_ < n) Truncated(what);
  }
  [[noreturn]] void Truncated(const char* what)
  {
    throw ESkinDataError(QStringLiteral("The stored skin is truncated at offset %1 (reading %2)").arg(pos_).arg(what));
  }
  const QByteArray& data_;
  qint64 pos_ = 0;
};

void AppendInt32(QByteArray& out, qint32 v)
{
  char b[4];
  qToLittleEndian(v, b);
  out.append(b, 4);
}

TbsSkinPicture LoadBmpFile(const QString& path)
{
  const QByteArray file = ReadRegularFileOrRaise(path, kMaxPackedFileSize);
  TBmpInfo info;
  TbsSkinPicture picture;
  try {
    picture.Image = DecodeBmp(file, &info);
  } catch (const EInvalidGraphic& e) {
    throw EInvalidGraphic(path + QStringLiteral(": ") + e.Message());
  }
  picture.BitsPerPixel = info.BitsPerPixel;
  return picture;
}

void AppendPicture(QByteArray& out, const TbsSkinPicture& picture)
{
  out.append(EncodeBmp(picture.Image, picture.BitsPerPixel ? picture.BitsPerPixel : 24));
}
} // namespace

// ---------------------------------------------------------------- container helpers

QByteArray BuildSkinContainer(const TbsSkinPicture& frame, const TbsSkinPicture& inactive, const TbsSkinPicture& mask,
                              const std::vector<TbsSkinPicture>& pictures, const QStringList& definitionLines)
{
  QByteArray out;
  AppendInt32(out, kMaxSkinContainerVersion);
  for (const TbsSkinPicture* slot : {&frame, &inactive, &mask}) {
    out.append(char(slot->Empty() ? 1 : 0));
    if (!slot->Empty()) AppendPicture(out, *slot);
  }
  AppendInt32(out, qint32(pictures.size()));
  for (const TbsSkinPicture& p : pictures) {
    if (p.Empty()) throw EInvalidGraphic(QStringLiteral("An extra skin picture is empty"));
    AppendPicture(out, p);
  }
  for (const QString& line : definitionLines) {
    out.append(line.toUtf8());
    out.append("\r\n", 2);
  }
  return out;
}

QByteArray DeflateSkin(const QByteArray& data)
{
  uLongf size = compressBound(uLong(data.size()));
  QByteArray out(qsizetype(size), Qt::Uninitialized);
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
                uLong(data.size()), 9) != Z_OK)
    throw ESkinDataError(QStringLiteral("The skin could not be compressed"));
  out.truncate(qsizetype(size));
  return out;
}

// ---------------------------------------------------------------- TbsCompressedStoredSkin

TbsCompressedStoredSkin::TbsCompressedStoredSkin(TComponent* AOwner) : TComponent(AOwner) {}

void TbsCompressedStoredSkin::SetFileName(const QString& value)
{
  if (!IsDesigning() || IsLoading()) {
    fileName_ = value;
    return;
  }
  fileName_ = QFileInfo(value).fileName();
  PackSkinFolder(value);
}

void TbsCompressedStoredSkin::SetCompressedFileName(const QString& value)
{
  if (!IsDesigning() || IsLoading()) {
    compressedFileName_ = value;
    return;
  }
  compressedFileName_ = QFileInfo(value).fileName();
  ImportPackedFile(value);
}

void TbsCompressedStoredSkin::InflateTo(QIODevice& target) const
{
  InflateBlock(data_, [&](const char* bytes, int n) {
    if (target.write(bytes, n) != n)
      throw EInOutError(QStringLiteral("Cannot write the inflated skin: %1").arg(target.errorString()));
  });
}

QByteArray TbsCompressedStoredSkin::Inflate() const
{
  QByteArray out;
  out.reserve(qsizetype(std::min<qint64>(kMaxInflatedSkinSize, qint64(data_.size()) * 16)));
  InflateBlock(data_, [&](const char* bytes, int n) { out.append(bytes, n); });
  return out;
}

bool TbsCompressedStoredSkin::PackSkinFolder(const QString& iniPath)
{
  TStringList lines;
  lines.LoadFromFile(iniPath);
  const TMemIniFile ini(lines.Lines());
  for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"})
    if (!ini.SectionExists(QString::fromLatin1(section))) return false;
  const QString folder = QFileInfo(iniPath).absolutePath() + u'/';
  const auto load = [&](const QString& name) { return name.isEmpty() ? TbsSkinPicture() : LoadBmpFile(folder + name); };
  const TbsSkinPicture frame = load(ini.ReadString("PICTURES", "picture", QString()));
  const TbsSkinPicture inactive = load(ini.ReadString("PICTURES", "inactivepicture", QString()));
  const TbsSkinPicture mask = load(ini.ReadString("PICTURES", "mask", QString()));
  std::vector<TbsSkinPicture> pictures;
  for (const QString& name : skin_values::ReadNameList(ini, "PICTURES", "activepictures", kMaxSkinPictures)) {
    if (name.isEmpty()) throw ESkinDataError(QStringLiteral("%1: an extra picture has no file name").arg(iniPath));
    pictures.push_back(LoadBmpFile(folder + name));
  }
  data_ = DeflateSkin(BuildSkinContainer(frame, inactive, mask, pictures, lines.Lines()));
  return true;
}

void TbsCompressedStoredSkin::ImportPackedFile(const QString& path)
{
  data_.clear();
  const QByteArray file = ReadRegularFileOrRaise(path, kMaxPackedFileSize);
  if (file.size() < 4) throw ESkinDataError(QStringLiteral("%1 is no packed skin: it is truncated").arg(path));
  const qint32 version = qFromLittleEndian<qint32>(file.constData());
  if (version > kMaxSkinContainerVersion) return;
  if (file.size() < 8) throw ESkinDataError(QStringLiteral("%1 is no packed skin: it is truncated").arg(path));
  const qint32 length = qFromLittleEndian<qint32>(file.constData() + 4);
  if (length < 0 || length > file.size() - 8)
    throw ESkinDataError(QStringLiteral("%1 is no packed skin: it says %2 bytes follow, %3 do")
                             .arg(path).arg(length).arg(file.size() - 8));
  data_ = file.mid(8, length);
}

QByteArray TbsCompressedStoredSkin::PackedFileData() const
{
  QByteArray out;
  AppendInt32(out, kMaxSkinContainerVersion);
  AppendInt32(out, qint32(data_.size()));
  out.append(data_);
  return out;
}

// ---------------------------------------------------------------- TbsResourceStrData

TbsResourceStrData::TbsResourceStrData(TComponent* AOwner) : TComponent(AOwner), strings_(DefaultStrings()) {}

QStringList TbsResourceStrData::DefaultStrings()
{
  return {
      "MI_MINCAPTION=Mi&nimize", "MI_MAXCAPTION=Ma&ximize", "MI_CLOSECAPTION=&Close", "MI_RESTORECAPTION=&Restore",
      "MI_MINTOTRAYCAPTION=Minimize to &Tray", "MI_ROLLUPCAPTION=Ro&llUp", "MINBUTTON_HINT=Minimize",
      "MAXBUTTON_HINT=Maximize", "CLOSEBUTTON_HINT=Close", "TRAYBUTTON_HINT=Minimize to Tray",
      "ROLLUPBUTTON_HINT=Roll Up", "MENUBUTTON_HINT=System menu", "EDIT_UNDO=Undo", "EDIT_COPY=Copy",
      "EDIT_CUT=Cut", "EDIT_PASTE=Paste", "EDIT_DELETE=Delete", "EDIT_SELECTALL=Select All", "MSG_BTN_YES=&Yes",
      "MSG_BTN_NO=&No", "MSG_BTN_OK=OK", "MSG_BTN_CANCEL=Cancel", "MSG_BTN_ABORT=&Abort", "MSG_BTN_RETRY=&Retry",
      "MSG_BTN_IGNORE=&Ignore", "MSG_BTN_ALL=&All", "MSG_BTN_NOTOALL=N&o to All", "MSG_BTN_YESTOALL=Yes to &All",
      "MSG_BTN_HELP=&Help", "MSG_BTN_OPEN=&Open", "MSG_BTN_SAVE=&Save", "MSG_BTN_BACK_HINT=Go To Last Folder Visited",
      "MSG_BTN_UP_HINT=Up One Level", "MSG_BTN_NEWFOLDER_HINT=Create New Folder", "MSG_BTN_VIEWMENU_HINT=View Menu",
      "MSG_BTN_STRETCH_HINT=Stretch", "MSG_FILENAME=File name:", "MSG_FILETYPE=File type:",
      "MSG_NEWFOLDER=New Folder", "MSG_LV_DETAILS=Details", "MSG_LV_ICON=Large icons",
      "MSG_LV_SMALLICON=Small icons", "MSG_LV_LIST=List", "MSG_PREVIEWSKIN=Preview skin",
      "MSG_PREVIEWBUTTON=Button", "MSG_CAP_WARNING=Warning", "MSG_CAP_ERROR=Error",
      "MSG_CAP_INFORMATION=Information", "MSG_CAP_CONFIRM=Confirm", "CALC_CAP=Calculator", "ERROR=Error",
      "COLORGRID_CAP=Basic colors", "CUSTOMCOLORGRID_CAP=Custom colors",
      "ADDCUSTOMCOLORBUTTON_CAP=Add to Custom Colors", "FONTDLG_COLOR=Color:", "FONTDLG_NAME=Name:",
      "FONTDLG_SIZE=Size:", "FONTDLG_HEIGHT=Height:", "FONTDLG_EXAMPLE=Example:", "FONTDLG_STYLE=Style:",
      "FONTDLG_SCRIPT=Script:", "DB_DELETE_QUESTION=Delete record?",
      "DB_MULTIPLEDELETE_QUESTION=Delete all selected records?",
      "NODISKINDRIVE=There is no disk in Drive or Drive is not ready", "NOVALIDDRIVEID=Not a valid Drive ID",
      "FLV_NAME=Name", "FLV_SIZE=Size", "FLV_TYPE=Type", "FLV_LOOKIN=Look in: ", "FLV_MODIFIED=Modified",
      "FLV_ATTRIBUTES=Attributes", "FLV_DISKSIZE=Disk size", "FLV_FREESPACE=Free space",
  };
}

QString TbsResourceStrData::GetResString(const QString& name) const
{
  return TStringList(strings_).Values(name);
}

// ---------------------------------------------------------------- TbsSkinData

namespace {
TbsSkinData::FormList& FormsProvider()
{
  static TbsSkinData::FormList provider;
  return provider;
}
} // namespace

void TbsSkinData::SetApplicationForms(FormList forms) { FormsProvider() = std::move(forms); }

std::vector<TComponent*> TbsSkinData::ApplicationForms()
{
  if (FormsProvider()) return FormsProvider()();
  std::vector<TComponent*> forms;
  TScreen* screen = Screen;
  if (screen)
    for (int i = 0; i < screen->FormCount(); ++i) forms.push_back(screen->Forms(i));
  return forms;
}

TbsSkinData::TbsSkinData(TComponent* AOwner) : TComponent(AOwner) {}

TbsSkinData::~TbsSkinData()
{
  emptySkin_ = true;
  ClearSkinLists();
}

void TbsSkinData::SetCompressedStoredSkin(TbsCompressedStoredSkin* value)
{
  if (ReplaceReference(storedSkin_, value) && storedSkin_ && !IsDesigning()) LoadFromStoredSkin(storedSkin_);
}

void TbsSkinData::SetResourceStrData(TbsResourceStrData* value)
{
  if (!ReplaceReference(resStrData_, value)) return;
  if (!IsDesigning()) BroadcastSkinNotice(SKN_RESSTRINGS);
}

void TbsSkinData::Notification(TComponent* AComponent, TOperation Operation)
{
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  // The loaded skin stays; only the reference goes.
  if (AComponent == storedSkin_) storedSkin_ = nullptr;
  if (AComponent == resStrData_) resStrData_ = nullptr;
}

void TbsSkinData::BroadcastSkinNotice(quint32 msg)
{
  const std::vector<TComponent*> forms = ApplicationForms();
  std::vector<QPointer<TComponent>> targets;
  TComponent* owner = Owner();
  const bool ownerIsForm =
      owner && (qobject_cast<TForm*>(owner) || std::find(forms.begin(), forms.end(), owner) != forms.end());
  if (ownerIsForm) targets.emplace_back(owner);
  for (TComponent* form : forms)
    if (form != owner) targets.emplace_back(form);
  QPointer<TbsSkinData> self(this);
  for (const QPointer<TComponent>& target : targets) {
    if (!self) return;  // a receiver freed the skin data
    if (!target) continue;
    // Through the window procedure, so that a skinned frame hooked into it hears the notice.
    if (auto* control = qobject_cast<TControl*>(target.data()))
      control->SendMessage(msg, PointerParam(this), kSkinNoticeLParam);
    else
      target->Perform(msg, PointerParam(this), kSkinNoticeLParam);
  }
}

int TbsSkinData::FindSkinObject(const QString& name) const
{
  for (size_t i = 0; i < objects_.size(); ++i)
    if (objects_[i]->IDName == name) return int(i);
  return -1;
}

int TbsSkinData::FindSkinControl(const QString& name) const
{
  for (size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i]->IDName == name) return int(i);
  return -1;
}

const TbsSkinPicture* TbsSkinData::SkinPicture(int index) const
{
  return index >= 0 && index < int(pictures_.size()) ? &pictures_[size_t(index)] : nullptr;
}

void TbsSkinData::ClearSkinLists()
{
  objects_.clear();
  controls_.clear();
  pictures_.clear();
  pictureNames_.clear();
  popupWindow_.WindowPictureIndex = -1;
  hintWindow_.WindowPictureIndex = -1;
}

void TbsSkinData::ClearSkin()
{
  ClearSkinLists();
  framePicture_ = inactiveFramePicture_ = frameMask_ = TbsSkinPicture();
  pictureName_.clear();
  inactivePictureName_.clear();
  maskPictureName_.clear();
  emptySkin_ = true;
}

void TbsSkinData::LoadFromStoredSkin(TbsCompressedStoredSkin* skin)
{
  if (!skin || skin->IsDataEmpty()) return;
  emptySkin_ = true;
  BroadcastSkinNotice(SKN_CHANGING);
  ClearSkin();
  DecodeContainer(skin->Inflate());
}

void TbsSkinData::LoadFromContainer(const QByteArray& container)
{
  emptySkin_ = true;
  BroadcastSkinNotice(SKN_CHANGING);
  ClearSkin();
  DecodeContainer(container);
}

void TbsSkinData::DecodeContainer(const QByteArray& container)
{
  try {
    ContainerReader reader(container);
    const qint32 version = reader.ReadInt32("the version");
    if (version > kMaxSkinContainerVersion) return;  // stays empty, no further notice
    qint64 budget = kMaxSkinPixels;
    const auto readSlot = [&](TbsSkinPicture& target) {
      const quint8 flag = reader.ReadByte("a picture flag");
      target = flag == 0 ? reader.ReadBmp(budget) : TbsSkinPicture();
    };
    readSlot(framePicture_);
    readSlot(inactiveFramePicture_);
    readSlot(frameMask_);
    if (version == 2) {
      TbsSkinPicture scratch;
      readSlot(scratch);
      readSlot(scratch);
    }
    const qint32 count = reader.ReadInt32("the picture count");
    if (count < 0 || count > kMaxSkinPictures)
      throw ESkinDataError(QStringLiteral("The stored skin has %1 extra pictures; 0 to %2 are accepted")
                               .arg(count).arg(kMaxSkinPictures));
    pictures_.reserve(size_t(count));
    for (qint32 i = 0; i < count; ++i) pictures_.push_back(reader.ReadBmp(budget));
    ReadDefinition(SplitTextLines(QString::fromUtf8(reader.Rest())));
  } catch (...) {
    ClearSkin();
    throw;
  }
  emptySkin_ = false;
  BroadcastSkinNotice(SKN_CHANGE);
  BroadcastSkinNotice(SKN_CHANGED);
}

void TbsSkinData::ReadDefinition(const QStringList& lines)
{
  const TMemIniFile ini(lines);
  SkinName = ini.ReadString("VERSION", "skinname", QString());
  SkinAuthor = ini.ReadString("VERSION", "skinauthor", QString());
  AuthorEmail = ini.ReadString("VERSION", "authoremail", QString());
  AuthorURL = ini.ReadString("VERSION", "authorurl", QString());
  SkinComments = ini.ReadString("VERSION", "skincomments", QString());
  pictureName_ = ini.ReadString("PICTURES", "picture", QString());
  inactivePictureName_ = ini.ReadString("PICTURES", "inactivepicture", QString());
  maskPictureName_ = ini.ReadString("PICTURES", "mask", QString());
  pictureNames_ = skin_values::ReadNameList(ini, "PICTURES", "activepictures", kMaxSkinListEntries);

  formInfo_.ReadFromIni(ini);
  PostProcessFormInfo();
  popupWindow_.ReadFromIni(ini);
  hintWindow_.ReadFromIni(ini);

  const auto readList = [&](const char* section, auto create, auto& list) {
    const QString s = QString::fromLatin1(section);
    const int count = ini.ReadInteger(s, "count", 0);
    if (count > kMaxSkinListEntries)
      throw ESkinDataError(QStringLiteral("[%1] count is %2; at most %3 entries are accepted")
                               .arg(s).arg(count).arg(kMaxSkinListEntries));
    for (int i = 0; i < count; ++i) {
      const QString entry = ini.ReadString(s, QString::number(i), QString());
      const qsizetype colon = entry.indexOf(u':');
      if (colon < 0) continue;
      auto definition = create(entry.mid(colon + 1), entry.left(colon));
      if (!definition) continue;
      definition->ReadFromIni(ini);
      list.push_back(std::move(definition));
    }
  };
  readList("SKINOBJECTS", CreateSkinObject, objects_);
  readList("SKINCONTROLS", CreateSkinControl, controls_);
}

void TbsSkinData::PostProcessFormInfo()
{
  TbsDataSkinFormInfo& f = formInfo_;
  const QRect& cr = f.ClientRect;
  const int crRight = cr.x() + cr.width(), crBottom = cr.y() + cr.height();
  if (!maskPictureName_.isEmpty()) {
    if (f.MaskRectArea.isEmpty()) {
      f.MaskRectArea = cr;
    } else {
      const QRect& m = f.MaskRectArea;
      f.MaskRectArea = SkinRect(std::min(m.x(), cr.x()), std::min(m.y(), cr.y()), std::max(m.x() + m.width(), crRight),
                                std::max(m.y() + m.height(), crBottom));
    }
    const auto fill = [](QPoint& hit, QPoint frame) {
      if (hit.x() == 0 || hit.y() == 0) hit = frame;
    };
    fill(f.HitTestLTPoint, f.LTPoint);
    fill(f.HitTestRTPoint, f.RTPoint);
    fill(f.HitTestLBPoint, f.LBPoint);
    fill(f.HitTestRBPoint, f.RBPoint);
  }
  if (f.RBPoint.x() == f.LTPoint.x() || f.RBPoint.y() == f.LTPoint.y()) return;
  f.LTPoint = QPoint(std::max(f.LTPoint.x(), cr.x()), std::max(f.LTPoint.y(), cr.y()));
  f.RTPoint = QPoint(std::min(f.RTPoint.x(), crRight), std::max(f.RTPoint.y(), cr.y()));
  f.LBPoint = QPoint(std::max(f.LBPoint.x(), cr.x()), std::min(f.LBPoint.y(), crBottom));
  f.RBPoint = QPoint(std::min(f.RBPoint.x(), crRight), std::min(f.RBPoint.y(), crBottom));
}

void RegisterSkinClasses()
{
  TComponentClasses::Register<TbsCompressedStoredSkin>();
  TComponentClasses::Register<TbsSkinData>();
  TComponentClasses::Register<TbsResourceStrData>();
  RegisterSkinFormClasses();
  RegisterSkinMenuClasses();
  RegisterSkinHintClasses();
  RegisterTrayIconClasses();
}
