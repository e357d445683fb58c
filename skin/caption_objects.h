// Caption objects: the caption text, the caption buttons and the user objects
// on a skinned window's frame, one per skin object of the window's skin.
//
// The skinned form (TbsSkinForm) owns them, places them (ObjectRect, in
// window coordinates), decides which one the mouse is over and runs the
// animation (25 ms) and morph (20 ms) timers; an object draws itself in its
// normal, hot, pressed, disabled or inactive look and reacts to the mouse
// calls the form makes.
#pragma once

#include "skin/skin_definitions.h"
#include "toolkit/controls.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <memory>

class TbsSkinForm;

// The mouse events a caption object raises through its form.
enum class TbsObjectEventKind { Enter, Leave, Down, Up, Move };

// The base of every caption object.
class TbsActiveSkinObject {
public:
  TbsActiveSkinObject(TbsSkinForm* form, const TbsDataSkinObject& data);
  virtual ~TbsActiveSkinObject() = default;
  TbsActiveSkinObject(const TbsActiveSkinObject&) = delete;
  TbsActiveSkinObject& operator=(const TbsActiveSkinObject&) = delete;

  QString IDName;
  QString Hint;
  QRect SkinRect, ActiveSkinRect, InActiveSkinRect;
  bool SkinRectInAPicture = false;
  int PictureIndex = -1;   // the own picture (an extra picture of the skin), -1 none
  QRect ObjectRect;        // where it is drawn, window coordinates
  bool Visible = true;
  bool Enabled = true;
  bool MouseIn = false;
  bool Active = false;
  bool Morphing = false;
  TbsMorphKind MorphKind = TbsMorphKind::mkDefault;
  double MorphFactor = 0;  // 0 normal .. 1 active

  // The own picture, or nullptr when the object has none.
  const QImage* Picture() const;
  TbsSkinForm* Form() const { return form_; }

  // Active with the factor below 1, or inactive above 0.
  virtual bool MorphPending() const;
  // Moves the factor 0.2 toward its end; true when it moved.
  bool MorphStep();
  // Draws the object at ObjectRect; `paintNormal` also draws a normal image
  // that lies in the frame picture (the frame under it may not show it).
  virtual void Draw(TCanvas& canvas, bool paintNormal);
  virtual void DblClick();
  virtual void MouseDown(int x, int y, TMouseButton button);
  virtual void MouseUp(int x, int y, TMouseButton button);
  virtual void MouseMove(int x, int y);
  virtual void MouseEnter();
  virtual void MouseLeave();

protected:
  // Draws `source` of `picture` scaled to ObjectRect; parts outside the picture are skipped.
  void CopyToObject(TCanvas& canvas, const QImage& picture, const QRect& source) const;
  // The normal image: skinrect of the own picture, or of the frame picture.
  const QImage* NormalPicture() const;
  // Normal image blended toward the active one at the current factor.
  void DrawMorphed(TCanvas& canvas, const QImage& normalPicture, const QRect& normal, const QImage& activePicture,
                   const QRect& active) const;
  // The base look: inactive, morphing, normal or active.
  void DrawBaseLook(TCanvas& canvas, bool paintNormal);
  void Redraw();
  void StartMorph();

  TbsSkinForm* form_;
};

// A plain button: adds the pressed and disabled images.
class TbsSkinButtonObject : public TbsActiveSkinObject {
public:
  TbsSkinButtonObject(TbsSkinForm* form, const TbsDataSkinButton& data);
  QRect DownRect, DisableSkinRect;
  bool Down = false;

  void Draw(TCanvas& canvas, bool paintNormal) override;
  void MouseDown(int x, int y, TMouseButton button) override;
  void MouseUp(int x, int y, TMouseButton button) override;
  void MouseEnter() override;
  void MouseLeave() override;

protected:
  // Draws `r` of the own picture when it is not empty; false otherwise.
  bool DrawOwn(TCanvas& canvas, const QRect& r) const;
};

// A caption button with a command (close, minimize, system menu...).
class TbsSkinStdButtonObject : public TbsSkinButtonObject {
public:
  TbsSkinStdButtonObject(TbsSkinForm* form, const TbsDataSkinStdButton& data);
  TbsStdCommand Command = TbsStdCommand::cmDefault;
  QRect RestoreRect, RestoreActiveRect, RestoreDownRect, RestoreInActiveRect;

  void Draw(TCanvas& canvas, bool paintNormal) override;
  void DblClick() override;
  void MouseDown(int x, int y, TMouseButton button) override;
  void MouseUp(int x, int y, TMouseButton button) override;
  // The default frame's look (no skin): button face, glyph, hover frame.
  void DrawDefault(TCanvas& canvas) const;
};

// The caption text.
class TbsSkinCaptionObject : public TbsActiveSkinObject {
public:
  TbsSkinCaptionObject(TbsSkinForm* form, const TbsDataSkinCaption& data);
  QString FontName;
  int FontHeight = 14;
  int FontStyle = 0;
  TColor FontColor = 0, ActiveFontColor = 0;
  TbsAlignment Alignment = TbsAlignment::taCenter;
  QRect TextRect;
  bool Shadow = false;
  TColor ShadowColor = 0, ActiveShadowColor = 0;
  QRect FrameRect, ActiveFrameRect, FrameTextRect;
  int FrameLeftOffset = 0, FrameRightOffset = 0;

  void Draw(TCanvas& canvas, bool paintNormal) override;
  // Hovering the caption raises the events only: its active look follows the form.
  void MouseEnter() override;
  void MouseLeave() override;
  // The text area in window coordinates (empty when the skin gives no text rectangle).
  QRect TextArea() const;

  // What the last draw put down (for checks and tools).
  struct TextLayout {
    QString Text;
    QRect TextBounds;   // where the text went, window coordinates
    QRect Plate;        // the text plate, window coordinates (empty: none)
    TColor Color = 0;
  };
  const TextLayout& LastLayout() const { return layout_; }

private:
  void SetFont(TCanvas& canvas) const;
  void DrawText(TCanvas& canvas, QPoint origin);

  TextLayout layout_;
};

// An animated caption button: frames side by side in its own picture.
class TbsSkinAnimateObject : public TbsActiveSkinObject {
public:
  static constexpr int kTick = 25;  // the animation timer's period, ms

  TbsSkinAnimateObject(TbsSkinForm* form, const TbsDataSkinAnimate& data);
  int CountFrames = 1;   // at least 1
  bool Cycle = false;
  bool ButtonStyle = false;
  TbsStdCommand Command = TbsStdCommand::cmDefault;
  int Frame = 1;         // current frame, from 1
  bool Forward = true;
  bool Animating = false;
  int Elapsed = kTick;
  int Interval = 50;     // at least one tick

  // The picture rectangle of frame n (from 1).
  QRect FrameRect(int n) const;
  // One tick of the animation timer; true when the frame changed.
  bool AnimationStep();
  void ResetAnimation();

  void Draw(TCanvas& canvas, bool paintNormal) override;
  void DblClick() override;
  void MouseUp(int x, int y, TMouseButton button) override;
  void MouseEnter() override;
  void MouseLeave() override;
};

// An object drawn by the form's OnPaintEvent.
class TbsUserObject : public TbsActiveSkinObject {
public:
  TbsUserObject(TbsSkinForm* form, const TbsDataUserObject& data);
  void Draw(TCanvas& canvas, bool paintNormal) override;
};

// The caption object for a skin object definition, or nullptr for the kinds
// that belong to menus.
std::unique_ptr<TbsActiveSkinObject> CreateCaptionObject(TbsSkinForm* form, const TbsDataSkinObject& data);
// The command of a caption button (animate or standard), or nothing.
bool ObjectCommand(const TbsActiveSkinObject* object, TbsStdCommand* command);
