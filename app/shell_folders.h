// Paths of the shell's special folders, by the index the record window uses
// (0 is the desktop). Indexes go through a fixed table of 57 folder numbers;
// folders that have no place on this desktop give an empty path, and the
// caller falls back to its own default.
#pragma once

#include <QString>

// The folder number at `index` (taken modulo 128, must be below 57), or -1.
int SpecialFolderNumber(int index);
// The folder's path, or "" when there is none (or it does not exist).
QString SpecialFolderPath(int index);
