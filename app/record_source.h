// The record window's capture source, kept in the settings file as
// "[record] source=NAME", NAME as the source list shows it ("正在播放的声音",
// an input's description). No entry: the system's default input.
#pragma once

#include <QString>

class TDXAudioIn;

// The stored name, "" when there is none or the file cannot be read.
QString ReadRecordSource(const QString& iniPath);
// Keeps `name` ("" forgets the choice); raises EIniFileException when the file cannot be written.
void WriteRecordSource(const QString& iniPath, const QString& name);
// Points `input` at the source called `name`: true when it is in the input's
// table; otherwise the input keeps the default input (entry 0) and the
// stored name is left as it is, for when the source is back.
bool UseRecordSource(TDXAudioIn& input, const QString& name);
