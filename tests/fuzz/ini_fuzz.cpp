// Fuzzes the settings file reader: any text must read, write back stably
// (what was written reads to the same lines), answer every lookup, and take
// a new value without disturbing the values already there; read from bytes,
// lines that are no UTF-8 go back unchanged.
#include "fuzz/fuzz_application.h"
#include "toolkit/ini_file.h"
#include "toolkit/string_list.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartFuzzApplication("ini_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  TMemIniFile ini(SplitTextLines(text));
  const QStringList lines = ini.Lines();
  TMemIniFile again(lines);
  if (again.Lines() != lines) __builtin_trap();

  TStringList sections;
  ini.ReadSections(sections);
  QStringList names;
  for (int i = 0; i < sections.Count(); ++i) names.append(sections[i]);
  QList<QPair<QString, QString>> before;  // first value of each key, as the readers see it
  for (const QString& section : names) {
    TStringList keys;
    ini.ReadSection(section, keys);
    for (int k = 0; k < keys.Count(); ++k) {
      if (!ini.ValueExists(section, keys[k])) __builtin_trap();
      before.append({section, keys[k]});
      (void)ini.ReadInteger(section, keys[k], 0);
      (void)ini.ReadBool(section, keys[k], false);
    }
  }
  QStringList values;
  for (const auto& [section, key] : before) values.append(ini.ReadString(section, key, QString()));

  // A write the program makes (a placement, a source name) reads back and
  // leaves everything else as it was.
  ini.WriteInteger(QStringLiteral("record"), QStringLiteral("left"), -1234);
  ini.WriteString(QStringLiteral("record"), QStringLiteral("source"), QStringLiteral("正在播放的声音"));
  if (ini.ReadInteger(QStringLiteral("record"), QStringLiteral("left"), 0) != -1234) __builtin_trap();
  if (ini.ReadString(QStringLiteral("record"), QStringLiteral("source"), QString()) != QStringLiteral("正在播放的声音"))
    __builtin_trap();
  for (qsizetype i = 0; i < before.size(); ++i) {
    const auto& [section, key] = before[i];
    const bool written = section.compare(QStringLiteral("record"), Qt::CaseInsensitive) == 0 &&
                         (key.compare(QStringLiteral("left"), Qt::CaseInsensitive) == 0 ||
                          key.compare(QStringLiteral("source"), Qt::CaseInsensitive) == 0);
    if (!written && ini.ReadString(section, key, QString()) != values[i]) __builtin_trap();
  }
  TMemIniFile reread(ini.Lines());
  if (reread.Lines() != ini.Lines()) __builtin_trap();

  // As a file: every byte goes back as it came (line ends made "\n"), UTF-8 or not.
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  TIniDocument file;
  file.ParseBytes(bytes);
  const QByteArray out = file.Bytes();
  if (!bytes.contains('\r') && !bytes.startsWith("\xEF\xBB\xBF") && bytes.endsWith('\n') && out != bytes)
    __builtin_trap();
  TIniDocument back;
  back.ParseBytes(out);
  if (back.Bytes() != out) __builtin_trap();
  return 0;
}
