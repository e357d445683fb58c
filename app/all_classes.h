// Registration of every component class and event type of the program, for
// the description reader. The program, the tool and the tests call it once.
#pragma once

void RegisterAllClasses();
// The program's windows besides the main one, created hidden at start-up.
void CreateSecondaryWindows();
