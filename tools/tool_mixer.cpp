// velmora-tool mixer: the system mixers as the mixer model sees them, and
// setting one control. For users whose recording control is missing: it shows
// which lines and controls the model finds and what it reads from them.
#include "mixer/mm_controls.h"
#include "platform/mixer_backend.h"

#include <QMetaEnum>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace {

QTextStream& Out()
{
  static QTextStream out(stdout);
  return out;
}

template <typename E>
QString EnumName(E value)
{
  return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(value));
}

template <typename F>
QString FlagNames(F flags)
{
  const QByteArray keys = QMetaEnum::fromType<F>().valueToKeys(static_cast<int>(flags.toInt()));
  return "[" + QString::fromLatin1(keys).replace('|', ", ") + "]";
}

QString Hex(qint32 id) { return QStringLiteral("0x%1").arg(static_cast<quint32>(id), 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x"); }

bool ParseInt(const QString& text, qint64& value)
{
  bool ok = false;
  QString t = text.trimmed();
  const bool negative = t.startsWith('-');
  if (negative) t = t.mid(1);
  value = t.startsWith("0x", Qt::CaseInsensitive) ? t.mid(2).toLongLong(&ok, 16) : t.toLongLong(&ok, 10);
  if (negative) value = -value;
  return ok;
}

QString Values(TMMCustomMixerControl* control)
{
  if (!control->IsAvailable()) return QStringLiteral("(unavailable)");
  QStringList parts;
  const int items = control->Items();
  if (items > 0) {
    for (int i = 0; i < items; ++i) {
      TMMItemInfo info;
      control->GetItemInfo(i, info);
      const bool on = control->GetBooleanValue(chBoth, i);
      parts << QStringLiteral("%1%2 \"%3\"").arg(on ? "*" : "").arg(i).arg(info.Name) +
                   (info.Param1 != 0xFFFFFFFF ? QStringLiteral(" (line %1)").arg(Hex(static_cast<qint32>(info.Param1))) : QString());
    }
    return parts.join(", ");
  }
  const int channels = control->Channels();
  const bool isSigned = control->ControlInfo()->MinValue() < 0;
  if (channels <= 1) return QString::number(isSigned ? qint64(control->GetSigned()) : qint64(control->GetUnsigned()));
  std::vector<quint32> values(static_cast<size_t>(channels));
  control->Mixer()->GetUnsignedValues(control->ControlId(), channels, 0, values.data());
  for (quint32 v : values) parts << QString::number(isSigned ? qint64(qint32(v)) : qint64(v));
  return parts.join(' ');
}

void PrintControl(TMMMixerControl* control, const QString& indent)
{
  TMMControlInfo* info = control->ControlInfo();
  Out() << indent << "control " << control->ControlId() << " " << EnumName(control->ControlType()) << " ("
        << EnumName(control->ControlClass()) << ") \"" << info->Name() << "\" " << FlagNames(info->Flags())
        << " range " << info->MinValue() << ".." << info->MaxValue() << " steps " << info->Steps();
  if (info->MultipleItems() > 0) Out() << " items " << info->MultipleItems();
  QString values;
  try {
    values = Values(control);
  } catch (const Exception& e) {
    values = "error: " + e.Message();
  }
  Out() << ": " << values << "\n";
}

void PrintLine(TMMMixerDevice* mixer, const TMMApiLine& record, const QString& heading, const QString& indent)
{
  TMMAudioLine line(nullptr);
  line.SetMixer(mixer);
  line.SetLineId(static_cast<TMMLineId>(record.LineId));
  TMMLineInfo* info = line.LineInfo();
  Out() << indent << heading << ": line " << Hex(line.LineId()) << " (" << line.LineId() << ") \"" << info->Name()
        << "\" " << EnumName(line.ComponentType()) << " " << FlagNames(info->Flags()) << ", " << info->Channels()
        << " channels, " << info->Connections() << " sources, " << info->Controls() << " controls\n";
  std::vector<TMMApiControl> controls;
  if (CheckMMResult(MixerBackend().GetLineControls(mixer->MixerId(), record.LineId, controls)) != 0) return;
  for (const TMMApiControl& c : controls) {
    TMMMixerControl control(nullptr);
    control.SetAudioLine(&line);
    control.SetControlId(static_cast<TMMControlId>(c.ControlId));
    PrintControl(&control, indent + "  ");
  }
}

void PrintMixer(int id)
{
  TMMMixerDevice mixer(nullptr);
  mixer.SetDeviceId(id);
  const int destinations = mixer.Destinations();
  Out() << "mixer " << id << ": \"" << mixer.DeviceCaps()->ProductName() << "\", " << destinations
        << " destinations\n";
  for (int d = 0; d < destinations; ++d) {
    TMMApiLine dest;
    dest.Destination = static_cast<quint32>(d);
    if (CheckMMResult(MixerBackend().GetLineInfo(id, TMMLineQuery::ByDestination, dest),
                      {mmapi::MIXERR_INVALLINE}) != 0)
      continue;
    PrintLine(&mixer, dest, QStringLiteral("destination %1").arg(d), "  ");
    for (quint32 s = 0; s < dest.Connections; ++s) {
      TMMApiLine source;
      if (mixer.GetLineInfoBySource(d, static_cast<int>(s), source))
        PrintLine(&mixer, source, QStringLiteral("source %1").arg(s), "    ");
    }
  }
}

int SetControl(int id, const QStringList& args)
{
  qint64 controlId = 0;
  if (args.size() < 2 || !ParseInt(args[0], controlId)) {
    QTextStream(stderr) << "usage: velmora-tool mixer N set CONTROLID VALUE...\n";
    return 2;
  }
  std::vector<qint32> values;
  for (const QString& a : args.mid(1)) {
    qint64 v = 0;
    if (!ParseInt(a, v)) {
      QTextStream(stderr) << "mixer: \"" << a << "\" is not a number\n";
      return 2;
    }
    values.push_back(static_cast<qint32>(v));
  }
  TMMMixerDevice mixer(nullptr);
  mixer.SetDeviceId(id);
  TMMApiControl record;
  if (!mixer.GetControlById(static_cast<TMMControlId>(controlId), record)) {
    QTextStream(stderr) << "mixer: mixer " << id << " has no control " << controlId << "\n";
    return 1;
  }
  TMMAudioLine line(nullptr);
  line.SetMixer(&mixer);
  line.SetLineId(mixer.GetLineOfControl(static_cast<TMMControlId>(controlId)));
  TMMMixerControl control(nullptr);
  control.SetAudioLine(&line);
  control.SetControlId(static_cast<TMMControlId>(controlId));
  if (control.Items() > 0) {
    // A list: the values are the items to choose.
    for (qint32 item : values) control.SetBooleanValue(chBoth, item, true);
  } else if (values.size() == 1) {
    control.SetSigned(values[0]);
  } else if (static_cast<int>(values.size()) == control.Channels()) {
    mixer.SetSignedValues(control.ControlId(), control.Channels(), 0, values.data());
  } else {
    QTextStream(stderr) << "mixer: control " << controlId << " takes 1 or " << control.Channels() << " values\n";
    return 2;
  }
  PrintControl(&control, "");
  return 0;
}

} // namespace

int RunMixerCommand(QStringList args)
{
  try {
    const int count = static_cast<int>(MixerBackend().DeviceCount(TMMDeviceFamily::Mixer));
    if (args.isEmpty()) {
      Out() << count << " mixers\n";
      for (int i = 0; i < count; ++i) PrintMixer(i);
      return count > 0 ? 0 : 1;
    }
    qint64 id = 0;
    if (!ParseInt(args[0], id)) {
      QTextStream(stderr) << "mixer: \"" << args[0] << "\" is not a mixer number\n";
      return 2;
    }
    if (id < 0 || id >= count) {
      QTextStream(stderr) << "mixer: there is no mixer " << id << " (" << count << " mixers)\n";
      return 1;
    }
    if (args.size() >= 2 && args[1] == "set") return SetControl(static_cast<int>(id), args.mid(2));
    if (args.size() > 1) {
      QTextStream(stderr) << "usage: velmora-tool mixer [N] | mixer N set CONTROLID VALUE...\n";
      return 2;
    }
    PrintMixer(static_cast<int>(id));
    return 0;
  } catch (const Exception& e) {
    QTextStream(stderr) << "mixer: " << e.Message() << "\n";
    return 1;
  }
}
