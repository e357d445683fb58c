// The record window's choices kept in the settings file, section "record":
// the source as "source=NAME", NAME as the source list shows it
// ("正在播放的声音", "正在收听的电台", an input's description; no entry: the
// system's default input), the bit rate as "bitrate=KBPS" and the window's place as "left=",
// "top=", and whether a station's recording is split by track as "split=1".
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>

class TDXAudioIn;

// What can be recorded, as people choose it: the input's sound-card sources,
// with the station being listened to (kListenedStationName) after the
// default input and the sound that is playing.
QStringList RecordSourceNames(const TDXAudioIn& input);

// The stored name, "" when there is none or the file cannot be read.
QString ReadRecordSource(const QString& iniPath);
// Keeps `name` ("" forgets the choice); raises EIniFileException when the file cannot be written.
void WriteRecordSource(const QString& iniPath, const QString& name);
// Points `input` at the source called `name`: true when it is in the input's
// table; otherwise the input keeps the default input (entry 0) and the
// stored name is left as it is, for when the source is back.
bool UseRecordSource(TDXAudioIn& input, const QString& name);

// The record window's bit rates, in kbps, as its list offers them (the
// schedule window offers the same).
inline constexpr int kRecordBitRates[] = {32, 64, 128};

// The stored bit rate in kbps, 0 when there is none, it is not a number or the
// file cannot be read (the window then keeps its designed rate).
int ReadRecordBitRate(const QString& iniPath);
// Keeps `kbps`; raises EIniFileException when the file cannot be written.
void WriteRecordBitRate(const QString& iniPath, int kbps);

// Whether a station's recording starts a new file at every track; false when
// not stored or the file cannot be read.
bool ReadRecordSplit(const QString& iniPath);
// Keeps the choice; raises EIniFileException when the file cannot be written.
void WriteRecordSplit(const QString& iniPath, bool split);

// The window's stored top-left corner; none when a key is missing, not a
// number, or the file cannot be read (the window then opens where designed).
std::optional<QPoint> ReadRecordPlace(const QString& iniPath);
// Keeps the corner; raises EIniFileException when the file cannot be written.
void WriteRecordPlace(const QString& iniPath, QPoint place);
