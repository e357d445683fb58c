// Stored window descriptions: a readable text form of a component tree.
//
//   object Form_Main: TForm_Main
//     Caption = 'Ostrel网络收音机'
//     ClientWidth = 246
//     Font.Name = 'MS Sans Serif'          // nested property object
//     BorderIcons = [biSystemMenu]          // set
//     OnClose = FormClose                   // event bound to a form method
//     object Timer1: TTimer
//       Enabled = False
//     end
//     object bsCompressedStoredSkin1: TbsCompressedStoredSkin
//       CompressedData = {78DA...}          // binary data, hex
//     end
//   end
//
// Values: integers (decimal, or hex after '$' / '0x'), strings in single quotes
// ('' is a quote; #<decimal> is a character code, joined with '+' to other
// parts; any Unicode text), identifiers (enum keys, True/False, named integer
// values, component references, handler names), sets [a, b], binary {hex},
// string lists ('a' 'b') and floats. Comments start with //.
//
// Reading creates each component by registered class name with the root as
// owner (nested objects become visual children through SetParentComponent),
// sets its properties, links component references by name once every
// component exists, binds events to the root's methods, then calls Loaded on
// every component. Any error raises EReadError "FILE:LINE: message" and frees
// everything the read had created.
#pragma once

#include "toolkit/component.h"

#include <QString>

struct TReadOptions {
  // Marks every component designing (csDesigning) before its properties are
  // read: deferred device work is skipped, for checking and tools.
  bool Designing = false;
};

// Reads a description. With `root` given, the top object must name root's
// class and its properties and children are read into root; otherwise the
// root is created by class name, owned by `owner`. Returns the root.
TComponent* ReadComponentText(const QString& text, const QString& fileName, TComponent* root = nullptr,
                              TComponent* owner = nullptr, TReadOptions options = {});
// Reads a description file (UTF-8).
TComponent* ReadComponentFile(const QString& path, TComponent* root = nullptr, TComponent* owner = nullptr,
                              TReadOptions options = {});

// Writes the root, its stored non-default properties and its children in the
// same format; reading the text back gives the same tree.
QString WriteComponentText(TComponent* root);

// Counts the components of a tree (root included), as `velmora-tool form check` prints.
int CountComponents(TComponent* root);
