// velmora-tool stations: the stations the directory page would list, from the
// same code (favourites, the online directory or its offline copy, the
// user's stations), one per line.
#include "app/process_end.h"
#include "app/settings_location.h"
#include "browser/directory_server.h"
#include "browser/station_directory.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

int RunStationsCommand(QStringList args)
{
  QTextStream out(stdout), err(stderr);
  TStationQuery query;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == "--search" && i + 1 < args.size()) {
      query.Text = args[++i];
    } else if (args[i] == "--by" && i + 1 < args.size()) {
      const QString by = args[++i];
      query.Field = TStationQuery::FieldFromName(by);
      if (TStationQuery::FieldName(query.Field) != by) {
        err << "velmora-tool stations: --by takes name, tag, language or country, not \"" << by << "\"\n";
        return 2;
      }
    } else if (args[i] == "--limit" && i + 1 < args.size()) {
      bool ok = false;
      query.Limit = args[++i].toInt(&ok);
      if (!ok || query.Limit < 1 || query.Limit > 1000) {
        err << "velmora-tool stations: --limit takes a number from 1 to 1000\n";
        return 2;
      }
    } else {
      err << "velmora-tool stations: unknown argument \"" << args[i] << "\"\n";
      return 2;
    }
  }
  // The program's own names, so its settings file is the one found.
  QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
  QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
  SetDirectorySettingsLocator([] { return MainFormSettingsLocation().ReadPath; });
  TDirectoryServer server;  // not started: only its idea of the user's list file is used
  TStationDirectory* directory = TStationDirectory::CreateDefault(nullptr);
  directory->SetUserListFile(server.UserListFile());

  TStationListing listing;
  bool finished = false;
  QEventLoop loop;
  directory->List(query, [&](const TStationListing& l) {
    listing = l;
    finished = true;
    loop.quit();
  });
  if (!finished) loop.exec();
  delete directory;

  auto print = [&](const char* source, const std::vector<TDirectoryStation>& list) {
    for (const TDirectoryStation& s : list)
      out << source << '\t' << s.Name << '\t' << (s.Codec.isEmpty() ? "-" : s.Codec) << '\t'
          << (s.Bitrate ? QString::number(s.Bitrate) : QStringLiteral("-")) << '\t' << s.PlayUrl() << '\n';
  };
  const char* directorySource = listing.State == TStationListing::dsCache ? "cache" : "directory";
  print("favourite", listing.Favourites);
  print(directorySource, listing.Directory);
  print("user", listing.User);
  out.flush();
  err << "directory: " << TStationListing::StateName(listing.State);
  if (listing.CachedAt.isValid()) err << " (saved " << listing.CachedAt.toLocalTime().toString("yyyy-MM-dd HH:mm") << ")";
  err << '\n';
  for (const QString& m : listing.Messages) err << m << '\n';
  err.flush();
  // A request given up on may leave a name look-up in Qt's pool, which the tool's end would wait for.
  EndProcessWithin(0, std::chrono::seconds(3));
  return 0;
}
