// A form class that reads its own description in its constructor (tests).
#pragma once

#include "toolkit/form_reader.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

inline const char* const kTestFormDescription = R"(object Form_Test: TForm_Test
  Left = 50
  Top = 60
  BorderStyle = bsNone
  Caption = 'Test window'
  ClientWidth = 200
  ClientHeight = 120
  KeyPreview = True
  OnCreate = FormCreate
  OnClose = FormClose
  OnCloseQuery = FormCloseQuery
  OnKeyDown = FormKeyDown
  object Panel1: TPanel
    Align = alTop
    Height = 40
    OnMouseDown = Panel1MouseDown
    OnMouseMove = Panel1MouseMove
    object ButtonGo: TButton
      Left = 4
      Top = 4
      Caption = 'Go'
      OnClick = ButtonGoClick
    end
  end
  object PaintBox1: TPaintBox
    Align = alClient
    OnPaint = PaintBox1Paint
  end
end
)";

class TForm_Test : public TForm {
  Q_OBJECT
public:
  explicit TForm_Test(TComponent* owner) : TForm(owner) { ReadComponentText(kTestFormDescription, "test.vfm", this); }

  QStringList log;
  bool allowClose = true;

  Q_INVOKABLE void FormCreate(TObject*) { log << "create " + FindComponent("ButtonGo")->Name(); }
  Q_INVOKABLE void FormClose(TObject*, TCloseAction& Action)
  {
    log << "close";
    Action = caFree;
  }
  Q_INVOKABLE void FormCloseQuery(TObject*, bool& CanClose) { CanClose = allowClose; }
  Q_INVOKABLE void FormKeyDown(TObject*, int& Key, TShiftState) { log << QStringLiteral("key %1").arg(Key); }
  Q_INVOKABLE void ButtonGoClick(TObject* Sender) { log << "click " + qobject_cast<TComponent*>(Sender)->Name(); }
  Q_INVOKABLE void Panel1MouseDown(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y)
  {
    log << QStringLiteral("down %1 %2 %3,%4").arg(int(Button)).arg(Shift.testFlag(ssLeft)).arg(X).arg(Y);
  }
  Q_INVOKABLE void Panel1MouseMove(TObject*, TShiftState, int X, int Y) { log << QStringLiteral("move %1,%2").arg(X).arg(Y); }
  Q_INVOKABLE void PaintBox1Paint(TObject* Sender)
  {
    auto* box = qobject_cast<TPaintBox*>(Sender);
    box->Canvas()->Brush()->SetColor(clMaroon);
    box->Canvas()->FillRect(box->ClientRect());
  }
};
