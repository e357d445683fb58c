// Registration of every component class and event type of the program, for
// the description reader. The program, the tool and the tests call it once.
#pragma once

class TForm;

void RegisterAllClasses();
// The program's windows besides the main one, created hidden right after the
// main window's first paint, or at once when the user asks for one earlier;
// a window that exists already is not made again.
void CreateSecondaryWindows();
// The record window, nullptr while it has not been made.
TForm* RecordWindow();
