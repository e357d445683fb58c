// Fuzzes the schedule file's entries as the program and velmora-tool read
// them. Nothing may crash; an entry that is accepted is complete, survives its
// own stored form unchanged, names a file with no folder in it, and overlaps
// another exactly when the other overlaps it.
#include "fuzz/fuzz_application.h"
#include "schedule/schedule_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartFuzzApplication("schedule_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  std::vector<TScheduleEntry> entries;
  for (const QJsonValue& v : doc.object().value(QStringLiteral("entries")).toArray()) {
    TScheduleEntry e;
    if (!ScheduleEntryFromJson(v.toObject(), &e)) continue;
    if (!ScheduleEntryProblem(e).isEmpty()) __builtin_trap();
    TScheduleEntry again;
    if (!ScheduleEntryFromJson(ScheduleEntryToJson(e), &again)) __builtin_trap();
    if (ScheduleEntryToJson(again) != ScheduleEntryToJson(e)) __builtin_trap();
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 0));
    const std::optional<QDateTime> latest = e.LatestStart(when);
    if (latest && *latest > when) __builtin_trap();
    const std::optional<QDateTime> next = e.NextStart(when);
    if (next && *next <= when) __builtin_trap();
    const QString file = e.FileName(next.value_or(when));
    if (file.isEmpty() || file.contains(u'/') || !file.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) __builtin_trap();
    (void)e.WhenText();
    entries.push_back(std::move(e));
  }
  for (size_t i = 0; i < entries.size() && i < 16; ++i)
    for (size_t j = 0; j < entries.size() && j < 16; ++j)
      if (ScheduleEntriesOverlap(entries[i], entries[j]) != ScheduleEntriesOverlap(entries[j], entries[i])) __builtin_trap();
  return 0;
}
