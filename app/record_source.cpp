#include "app/record_source.h"

#include "audio/dx_audio_in.h"
#include "audio/station_audio_in.h"
#include "platform/capture_sources.h"
#include "toolkit/exceptions.h"
#include "toolkit/ini_file.h"

#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("record");
const QString kKey = QStringLiteral("source");
const QString kBitRateKey = QStringLiteral("bitrate");
const QString kSplitKey = QStringLiteral("split");
const QString kLeftKey = QStringLiteral("left");
const QString kTopKey = QStringLiteral("top");
} // namespace

QStringList RecordSourceNames(const TDXAudioIn& input)
{
  QStringList names;
  for (int i = 0; i < input.DeviceCount(); ++i) names << input.Device(i).Description;
  const qsizetype playing = names.indexOf(kPlayingSoundName);
  names.insert(playing >= 0 ? playing + 1 : std::min<qsizetype>(1, names.size()), kListenedStationName);
  return names;
}

QString ReadRecordSource(const QString& iniPath)
{
  if (iniPath.isEmpty() || !QFileInfo::exists(iniPath)) return QString();
  try {
    return TMemIniFile(iniPath).ReadString(kSection, kKey, QString()).trimmed();
  } catch (const Exception&) {
    return QString();  // an unreadable file keeps the default input
  }
}

void WriteRecordSource(const QString& iniPath, const QString& name)
{
  TIniFile ini(iniPath);
  if (name.isEmpty()) ini.DeleteKey(kSection, kKey);
  else ini.WriteString(kSection, kKey, name);
}

bool UseRecordSource(TDXAudioIn& input, const QString& name)
{
  const int index = name.isEmpty() ? 0 : input.DeviceIndex(name);
  input.SetDeviceNumber(index < 0 ? 0 : index);
  return index >= 0;
}

int ReadRecordBitRate(const QString& iniPath)
{
  if (iniPath.isEmpty() || !QFileInfo::exists(iniPath)) return 0;
  try {
    bool ok = false;
    const int kbps = TMemIniFile(iniPath).ReadString(kSection, kBitRateKey, QString()).trimmed().toInt(&ok);
    return ok && kbps > 0 ? kbps : 0;
  } catch (const Exception&) {
    return 0;
  }
}

void WriteRecordBitRate(const QString& iniPath, int kbps)
{
  TIniFile(iniPath).WriteInteger(kSection, kBitRateKey, kbps);
}

bool ReadRecordSplit(const QString& iniPath)
{
  if (iniPath.isEmpty() || !QFileInfo::exists(iniPath)) return false;
  try {
    return TMemIniFile(iniPath).ReadString(kSection, kSplitKey, QString()).trimmed() == QLatin1String("1");
  } catch (const Exception&) {
    return false;
  }
}

void WriteRecordSplit(const QString& iniPath, bool split)
{
  TIniFile ini(iniPath);
  if (split) ini.WriteInteger(kSection, kSplitKey, 1);
  else ini.DeleteKey(kSection, kSplitKey);
}

std::optional<QPoint> ReadRecordPlace(const QString& iniPath)
{
  if (iniPath.isEmpty() || !QFileInfo::exists(iniPath)) return std::nullopt;
  try {
    const TMemIniFile ini(iniPath);
    bool leftOk = false, topOk = false;
    const int left = ini.ReadString(kSection, kLeftKey, QString()).trimmed().toInt(&leftOk);
    const int top = ini.ReadString(kSection, kTopKey, QString()).trimmed().toInt(&topOk);
    if (!leftOk || !topOk) return std::nullopt;
    return QPoint(left, top);
  } catch (const Exception&) {
    return std::nullopt;
  }
}

void WriteRecordPlace(const QString& iniPath, QPoint place)
{
  TIniFile ini(iniPath);
  ini.WriteInteger(kSection, kLeftKey, place.x());
  ini.WriteInteger(kSection, kTopKey, place.y());
}
