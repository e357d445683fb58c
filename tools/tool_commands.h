// The command groups of velmora-tool. Each group lives in its own tool_*.cpp
// and adds itself to the table in tool_commands.cpp.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct ToolCommand {
  // What a command needs of the system: nothing but the core (no display, no
  // GUI plugin), drawing without a screen, or a screen to show a window on.
  enum TNeeds { ndCore, ndDrawing, ndDisplay };
  QString Name;   // first argument, e.g. "form"
  QString Usage;  // lines for the help text
  std::function<int(QStringList args)> Run;
  TNeeds Needs = ndCore;
};

const std::vector<ToolCommand>& ToolCommands();
QString ToolUsage();

// The built-in skin file: beside the tool in the build tree, in share/velmora when installed.
QString DefaultSkinFile();
