// Conventions of the program's windows.
//
// Each window class reads its stored description in its constructor from the
// program's resources (resources/forms/<Name>.vfm, compiled in). A second
// constructor taking BareForm builds the window without its description: the
// class registry uses it, so that the reader (and velmora-tool form check)
// can read a description into a fresh window of that class.
#pragma once

#include <QString>

struct TBareForm {};
inline constexpr TBareForm BareForm{};

// ":/velmora/forms/<formName>.vfm"
inline QString FormDescriptionPath(const QString& formName)
{
  return QStringLiteral(":/velmora/forms/") + formName + QStringLiteral(".vfm");
}
