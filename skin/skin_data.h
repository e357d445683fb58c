// The stored skin and the loaded skin of a window.
//
// TbsCompressedStoredSkin carries one zlib stream (the form streams it as
// CompressedData); TbsSkinData inflates it, decodes the container (version,
// three fixed picture slots, the extra pictures, the definition text) and
// builds the definition lists, then tells every form with the skin notices.
// TbsResourceStrData is the optional table of replaceable UI strings.
#pragma once

#include "skin/skin_definitions.h"
#include "toolkit/bmp_codec.h"
#include "toolkit/component.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// Skin notices: window messages to forms (wParam the sending TbsSkinData, lParam 1000).
constexpr quint32 SKN_CHANGING = 1225;
constexpr quint32 SKN_CHANGE = 1226;
constexpr quint32 SKN_CHANGED = 1227;
constexpr quint32 SKN_RESSTRINGS = 1274;
constexpr qintptr kSkinNoticeLParam = 1000;
class TbsSkinData;
// A skin notice's sender (WParam), or nullptr.
inline TbsSkinData* SkinNoticeSender(const TMessage& m) { return ParamPointer<TbsSkinData>(m.WParam); }

// Limits that keep a corrupt or hostile stored skin from taking the machine.
constexpr qint64 kMaxInflatedSkinSize = 32 * 1024 * 1024;   // bytes of the inflated container
constexpr int kMaxSkinPictures = 256;                        // extra pictures
constexpr int kMaxSkinPictureDimension = 4096;               // width or height of one picture
constexpr qint64 kMaxSkinPixels = qint64(24) * 1024 * 1024;  // all pictures of a skin together
constexpr int kMaxSkinListEntries = 4096;                    // [SKINOBJECTS] / [SKINCONTROLS] count
constexpr int kMaxSkinContainerVersion = 3;

// The zlib stream could not be inflated.
VELMORA_EXCEPTION(EZDecompressionError, Exception);

// A picture of the skin with the bit depth it was stored with.
struct TbsSkinPicture {
  QImage Image;
  int BitsPerPixel = 0;
  bool Empty() const { return Image.isNull(); }
};

class TbsCompressedStoredSkin : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString Description READ Description WRITE SetDescription)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(QString CompressedFileName READ CompressedFileName WRITE SetCompressedFileName)
  Q_PROPERTY(QByteArray CompressedData READ CompressedData WRITE SetCompressedData)
  Q_CLASSINFO("AlwaysStored:CompressedData", "true")

public:
  Q_INVOKABLE explicit TbsCompressedStoredSkin(TComponent* AOwner);

  QString Description() const { return description_; }
  void SetDescription(const QString& value) { description_ = value; }
  // At run time, and while a description is read, only the name is stored.
  // Designing (and not loading), the folder is dropped from the stored name
  // and the block is rebuilt from the full path: FileName packs the skin
  // folder, CompressedFileName imports a packed skin file.
  QString FileName() const { return fileName_; }
  void SetFileName(const QString& value);
  QString CompressedFileName() const { return compressedFileName_; }
  void SetCompressedFileName(const QString& value);
  const QByteArray& CompressedData() const { return data_; }
  void SetCompressedData(const QByteArray& value) { data_ = value; }

  bool IsDataEmpty() const { return data_.isEmpty(); }
  // Inflates the whole block, 4096 bytes at a time, appending to `target`.
  // Raises EZDecompressionError ("compression error") for a corrupt stream and
  // ESkinDataError beyond kMaxInflatedSkinSize.
  void InflateTo(QIODevice& target) const;
  QByteArray Inflate() const;

  // Builds the block from a skin definition file and the BMP files beside it.
  // Returns false (keeping the old block) when the file lacks a required
  // section; file and picture errors raise.
  bool PackSkinFolder(const QString& iniPath);
  // Reads a packed skin file (int32 version, int32 length, the block). A
  // version above 3 leaves no data; a broken file raises.
  void ImportPackedFile(const QString& path);
  // The packed file form of the current block.
  QByteArray PackedFileData() const;

private:
  QString description_, fileName_, compressedFileName_;
  QByteArray data_;
};

class TbsResourceStrData : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QStringList ResStrings READ ResStrings WRITE SetResStrings)
  Q_PROPERTY(int CharSet READ CharSet WRITE SetCharSet)

public:
  Q_INVOKABLE explicit TbsResourceStrData(TComponent* AOwner);
  const QStringList& ResStrings() const { return strings_; }
  void SetResStrings(const QStringList& value) { strings_ = value; }
  int CharSet() const { return charSet_; }
  void SetCharSet(int value) { charSet_ = value; }
  // Text after "=" of the first line whose name matches without regard to case; "" when none.
  QString GetResString(const QString& name) const;
  static QStringList DefaultStrings();

private:
  QStringList strings_;
  int charSet_ = 1;
};

class TbsSkinData : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TbsCompressedStoredSkin* CompressedStoredSkin READ CompressedStoredSkin WRITE SetCompressedStoredSkin)
  Q_PROPERTY(TbsResourceStrData* ResourceStrData READ ResourceStrData WRITE SetResourceStrData)

public:
  Q_INVOKABLE explicit TbsSkinData(TComponent* AOwner);
  ~TbsSkinData() override;

  TbsCompressedStoredSkin* CompressedStoredSkin() const { return storedSkin_; }
  // Stores the reference and, when not null, loads the skin from it at once
  // (errors of the load go to the caller).
  void SetCompressedStoredSkin(TbsCompressedStoredSkin* value);
  TbsResourceStrData* ResourceStrData() const { return resStrData_; }
  // Stores the reference and sends SKN_RESSTRINGS.
  void SetResourceStrData(TbsResourceStrData* value);

  void LoadFromStoredSkin(TbsCompressedStoredSkin* skin);
  // Loads an inflated container with the same notices (for tools and tests).
  void LoadFromContainer(const QByteArray& container);

  bool IsEmptySkin() const { return emptySkin_; }
  int FindSkinObject(const QString& name) const;
  int FindSkinControl(const QString& name) const;
  void ClearSkinLists();
  void ClearSkin();
  void BroadcastSkinNotice(quint32 msg);

  const TbsSkinPicture& FramePicture() const { return framePicture_; }
  const TbsSkinPicture& InactiveFramePicture() const { return inactiveFramePicture_; }
  const TbsSkinPicture& FrameMask() const { return frameMask_; }
  const std::vector<TbsSkinPicture>& SkinPictures() const { return pictures_; }
  // The extra picture an index names, or nullptr when it names none (-1, or beyond the list).
  const TbsSkinPicture* SkinPicture(int index) const;
  const QStringList& SkinPictureNames() const { return pictureNames_; }
  const QString& PictureName() const { return pictureName_; }
  const QString& InactivePictureName() const { return inactivePictureName_; }
  const QString& MaskPictureName() const { return maskPictureName_; }

  QString SkinName, SkinAuthor, AuthorEmail, AuthorURL, SkinComments;
  // [FORMINFO] after its post-processing.
  const TbsDataSkinFormInfo& FormInfo() const { return formInfo_; }
  TbsDataSkinPopupWindow& PopupWindowData() { return popupWindow_; }
  const TbsDataSkinPopupWindow& PopupWindowData() const { return popupWindow_; }
  TbsDataSkinHintWindow& HintWindowData() { return hintWindow_; }
  const TbsDataSkinHintWindow& HintWindowData() const { return hintWindow_; }
  const std::vector<std::unique_ptr<TbsDataSkinObject>>& SkinObjects() const { return objects_; }
  const std::vector<std::unique_ptr<TbsDataSkinControl>>& SkinControls() const { return controls_; }

  // The forms that receive skin notices, in order: the screen's forms, unless
  // a list is installed (tests install one; nullptr goes back to the screen).
  using FormList = std::function<std::vector<TComponent*>()>;
  static void SetApplicationForms(FormList forms);
  static std::vector<TComponent*> ApplicationForms();

  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void DecodeContainer(const QByteArray& container);
  void ReadDefinition(const QStringList& lines);
  void PostProcessFormInfo();

  TbsCompressedStoredSkin* storedSkin_ = nullptr;
  TbsResourceStrData* resStrData_ = nullptr;
  bool emptySkin_ = true;
  TbsSkinPicture framePicture_, inactiveFramePicture_, frameMask_;
  std::vector<TbsSkinPicture> pictures_;
  QStringList pictureNames_;
  QString pictureName_, inactivePictureName_, maskPictureName_;
  TbsDataSkinFormInfo formInfo_;
  TbsDataSkinPopupWindow popupWindow_;
  TbsDataSkinHintWindow hintWindow_;
  std::vector<std::unique_ptr<TbsDataSkinObject>> objects_;
  std::vector<std::unique_ptr<TbsDataSkinControl>> controls_;
};

// Builds the inflated container from pictures and definition lines (version 3).
QByteArray BuildSkinContainer(const TbsSkinPicture& frame, const TbsSkinPicture& inactive, const TbsSkinPicture& mask,
                              const std::vector<TbsSkinPicture>& pictures, const QStringList& definitionLines);
// zlib stream of `data` at level 9.
QByteArray DeflateSkin(const QByteArray& data);

// Registers the skin classes for window descriptions.
void RegisterSkinClasses();
