// Registration of every component class and event type of the program, for
// the description reader. The program, the tool and the tests call it once.
#pragma once

void RegisterAllClasses();
