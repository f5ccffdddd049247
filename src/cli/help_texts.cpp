#include "cli/help_texts.h"

#include "cli/records_command.h"

namespace posflash {

namespace {

constexpr const char* kDownloadSynopsis =
    "usage: posflash-cli download [--font] [--lang en|zh] [--json] [--color WHEN]\n"
    "                             [--link-timeout S] [UNIT OPTIONS] [--label L ...]\n"
    "                             --port COMn|DEVICE [--port ...] FILE\n"
    "       posflash-cli download [--font [--via-app]] [--lang en|zh] [--json] [--color WHEN]\n"
    "                             [--link-timeout S] [UNIT OPTIONS] [--label L ...]\n"
    "                             --net --ip A.B.C.D --mac XX-XX-XX-XX-XX-XX\n"
    "                             [--ip A.B.C.D --mac XX-.. ...] FILE\n"
    "       posflash-cli download [--font] [--lang en|zh] [--json] [--color WHEN]\n"
    "                             [--link-timeout S] [UNIT OPTIONS] (--all | --watch [--inboot])\n"
    "                             [--usb-path P ...] [--serial-prefix S] FILE\n"
    "       UNIT OPTIONS: [--retries N] [--operator NAME] [--station NAME]\n";

constexpr const char* kInbootSynopsis =
    "usage: posflash-cli inboot [--lang en|zh] (--port COMn|DEVICE [--port ...] |\n"
    "                                           --net --ip A.B.C.D [--ip ...])\n";

constexpr const char* kListSynopsis = "usage: posflash-cli list [--json]\n";

constexpr const char* kCheckSynopsis =
    "usage: posflash-cli check [--font] [--json] [--lang en|zh] FILE\n";

constexpr const char* kHistorySynopsis =
    "usage: posflash-cli history [--format table|json|csv | --json] [--limit N]\n"
    "                            [--operator NAME] [--station NAME] [--label L]\n"
    "                            [--outcome OUTCOME] [--since TIME] [--until TIME]\n"
    "                            [--shift ID] [--central [--records URI]]\n";

constexpr const char* kReportSynopsis =
    "usage: posflash-cli report [--format html|pdf|csv] [--out FILE] [--lang en|zh]\n"
    "                           [--operator NAME] [--station NAME] [--label L]\n"
    "                           [--since TIME] [--until TIME] [--shift ID] [--sha256 HEX]\n"
    "                           [--central [--records URI]]\n";

constexpr const char* kRecordsSynopsis =
    "usage: posflash-cli records init|sync|status [--records URI] [--verbose]\n";

constexpr const char* kHelpSynopsis = "usage: posflash-cli help [COMMAND]\n"
                                      "       posflash-cli COMMAND --help\n";

constexpr const char* kExitStatus =
    "\nexit status: 0 completed, 1 failed or cancelled, 2 refused or a usage error\n";

constexpr const char* kLang =
    "  --lang en|zh         language of the messages (default: the locale's)\n";
constexpr const char* kHelp = "  -h, --help           this help\n";

QString downloadHelp() {
    return QString::fromLatin1(kDownloadSynopsis) +
           QStringLiteral(
               "\n"
               "Loads FILE, a firmware program (or with --font a font), into a printer's boot\n"
               "loader, or into several printers at once, each on its own.\n"
               "\n"
               "where the printers are:\n"
               "  --port COMn|DEVICE   a COM number (COM1 to COM255, see 'posflash-cli list')\n"
               "                       or a serial device node; repeat it for several printers\n"
               "  --net                over the network: an --ip and a --mac for each printer\n"
               "  --ip A.B.C.D         the printer's IP address\n"
               "  --mac XX-XX-XX-XX-XX-XX  the printer's MAC address\n"
               "  --all                every printer whose USB virtual COM port is present now\n"
               "  --watch              every printer as it is plugged in, until Ctrl-C\n"
               "  --inboot             with --watch, switch a printer that runs its firmware\n"
               "                       into its boot loader first\n"
               "  --usb-path P         with --all or --watch, only the printer on USB port P\n"
               "                       (as 1-1.2); repeatable\n"
               "  --serial-prefix S    with --all or --watch, only printers whose serial\n"
               "                       number starts with S\n"
               "\n"
               "what and how:\n"
               "  --font               FILE is a font (1024-byte frames, no trailing sum)\n"
               "  --via-app            with --font --net, send the font through the running\n"
               "                       firmware's TCP connection, without its boot loader\n"
               "  --link-timeout S     fail a printer whose boot loader has not answered\n"
               "                       within S seconds (1 to 86400; one printer: wait until\n"
               "                       Ctrl-C, several: 120)\n"
               "\n"
               "units, for the history:\n"
               "  --retries N          try a printer's update again up to N more times (0 to\n"
               "                       10, default 0) when it failed for a cause a second try\n"
               "                       can fix: silent, refused, wrong frame number, or\n"
               "                       disconnected and back within the link timeout; a bad\n"
               "                       image, a cancel or a stop never. Every attempt is a row\n"
               "                       of the history; the result is the last attempt's\n"
               "  --operator NAME      who runs the downloads\n"
               "  --station NAME       this station (default: the host name)\n"
               "  --label L            the unit's label, as scanned; with several printers\n"
               "                       (--port, --net) one for each, in their order\n"
               "\n"
               "output:\n"
               "  --json               events as JSON Lines on standard output, errors too\n"
               "                       (the schema is docs/events.schema.json)\n"
               "  --color WHEN         colour on a terminal: auto (the default: only when the\n"
               "                       output is a terminal and NO_COLOR is unset), always,\n"
               "                       never\n"
               "  --records URI        sync the history to the line's records database in\n"
               "                       the background (else POSFLASH_RECORDS; see\n"
               "                       'posflash-cli help records')\n") +
           QString::fromLatin1(kLang) + QString::fromLatin1(kHelp) +
           QStringLiteral("\nCtrl-C cancels (a frame in flight finishes its attempts, the "
                          "closing frames go on);\na second Ctrl-C stops at once.\n") +
           QString::fromLatin1(kExitStatus);
}

QString inbootHelp() {
    return QString::fromLatin1(kInbootSynopsis) +
           QStringLiteral("\n"
                          "Sends a printer that runs its application firmware the command that\n"
                          "restarts it into its boot loader, ready for a download.\n"
                          "\n"
                          "options:\n"
                          "  --port COMn|DEVICE   the printer's COM number or device node; "
                          "repeatable\n"
                          "  --net                over the network\n"
                          "  --ip A.B.C.D         the printer's IP address; repeatable\n") +
           QString::fromLatin1(kLang) + QString::fromLatin1(kHelp) +
           QStringLiteral("\nexit status: 0 sent to every printer, 1 not sent to one or more, "
                          "2 a usage error\n");
}

QString listHelp() {
    return QString::fromLatin1(kListSynopsis) +
           QStringLiteral("\n"
                          "Lists the printers' USB devices present now, the COM number and\n"
                          "device node of each virtual COM port, and the COM-number map.\n"
                          "\n"
                          "options:\n"
                          "  --json               one JSON object on standard output\n") +
           QString::fromLatin1(kHelp) +
           QStringLiteral("\nexit status: 0 listed, 1 the USB devices could not be read, 2 a "
                          "usage error\n");
}

QString checkHelp() {
    return QString::fromLatin1(kCheckSynopsis) +
           QStringLiteral(
               "\n"
               "Says what a download of FILE would send, without a printer: its size,\n"
               "kind, data frames, a program's trailing sum and the CRC-16, or why a\n"
               "download would refuse it.\n"
               "\n"
               "options:\n"
               "  --font               judge FILE as a font\n"
               "  --json               one JSON object on standard output, errors too\n") +
           QString::fromLatin1(kLang) + QString::fromLatin1(kHelp) +
           QStringLiteral("\nexit status: 0 it would be sent, 2 it would be refused or a usage "
                          "error\n");
}

QString historyHelp() {
    return QString::fromLatin1(kHistorySynopsis) +
           QStringLiteral(
               "\n"
               "Lists the recorded downloads, newest first. The table ends with the\n"
               "first-pass and final yield of the units listed.\n"
               "\n"
               "options:\n"
               "  --format FORMAT      table (the default), json (one JSON object\n"
               "                       per download, docs/history.schema.json) or\n"
               "                       csv (the same fields, a header row, RFC 4180\n"
               "                       quoting)\n"
               "  --json               the same as --format json\n"
               "  --limit N            the newest N downloads only\n"
               "\n"
               "filters (all that are given must hold):\n"
               "  --operator NAME      downloads run by NAME\n"
               "  --station NAME       downloads run on the station NAME\n"
               "  --label L            downloads of the unit labelled L\n"
               "  --outcome OUTCOME    completed, failed, cancelled or refused\n"
               "  --since TIME         started at TIME or later: a local date\n"
               "                       (2026-03-31) or date and time (2026-03-31T14:30)\n"
               "  --until TIME         started before TIME; a date alone includes\n"
               "                       that day\n"
               "  --shift ID           downloads of the production window's shift ID\n"
               "\n"
               "  --central            the line's records (every station's), read\n"
               "                       from --records URI or POSFLASH_RECORDS; the\n"
               "                       filters apply to what they hold\n"
               "  --records URI        the line's records database (else POSFLASH_RECORDS)\n") +
           QString::fromLatin1(kHelp);
}

QString reportHelp() {
    return QString::fromLatin1(kReportSynopsis) +
           QStringLiteral(
               "\n"
               "A shift report a supervisor reads at a glance: the period, stations and\n"
               "images; units and attempts; first-pass and final yield per station and\n"
               "shift (or day); a Pareto of the failure causes with their remedies; the\n"
               "median and 95th percentile time per unit; retries; the ports with the most\n"
               "failures.\n"
               "\n"
               "options:\n"
               "  --format FORMAT      html (one file, charts inline, nothing fetched,\n"
               "                       prints on A4), pdf or csv (one row per unit); by\n"
               "                       default the --out name's ending, else html\n"
               "  --out FILE           the file to write; without it (or -) standard\n"
               "                       output, which a PDF cannot use\n"
               "  --lang en|zh         language of the report (default: the locale's)\n"
               "\n"
               "filters (all that are given must hold), as for 'posflash-cli history':\n"
               "  --operator NAME      units run by NAME\n"
               "  --station NAME       units run on the station NAME\n"
               "  --label L            the unit labelled L\n"
               "  --since TIME         started at TIME or later (2026-03-31, 2026-03-31T14:30)\n"
               "  --until TIME         started before TIME; a date alone includes that day\n"
               "  --shift ID           the units of the production window's shift ID\n"
               "  --sha256 HEX         units loaded with the image of this SHA-256\n"
               "\n"
               "  --central            the line's records (every station's), through the\n"
               "                       views of 'records init' (docs/records.md)\n"
               "  --records URI        the line's records database (else POSFLASH_RECORDS)\n") +
           QString::fromLatin1(kHelp) +
           QStringLiteral("\nexit status: 0 written, 1 the history or records could not be read "
                          "or the\nfile not written, 2 a usage error\n");
}

QString helpHelp() {
    return QString::fromLatin1(kHelpSynopsis) +
           QStringLiteral("\nShows the commands, or one command's synopsis and options.\n");
}

} // namespace

QString UsageText() {
    return QString::fromLatin1(kDownloadSynopsis) +
           QString::fromLatin1(kInbootSynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QString::fromLatin1(kListSynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QString::fromLatin1(kCheckSynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QString::fromLatin1(kHistorySynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QString::fromLatin1(kReportSynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QString::fromLatin1(kRecordsSynopsis)
               .replace(QLatin1String("usage: "), QLatin1String("       ")) +
           QStringLiteral("       posflash-cli help [COMMAND]\n");
}

QString GeneralHelp() {
    return QStringLiteral(
               "usage: posflash-cli COMMAND [OPTIONS]\n"
               "\n"
               "Loads firmware and fonts into receipt printers' boot loaders.\n"
               "\n"
               "commands:\n"
               "  download   load a firmware or font file into one printer or several\n"
               "  inboot     switch a printer that runs its firmware into its boot loader\n"
               "  list       the printers present and the COM-number map\n"
               "  check      what a download of a file would send, without a printer\n"
               "  history    the recorded downloads\n"
               "  report     a shift report: yields, failure causes, times (HTML, PDF, CSV)\n"
               "  records    the line's records in PostgreSQL: init, sync\n"
               "  help       this help, or a command's: posflash-cli help COMMAND\n"
               "\n"
               "  -h, --help     this help; after a command, that command's\n"
               "  -v, --version  the version\n"
               "\n"
               "'posflash-cli help COMMAND' or 'posflash-cli COMMAND --help' shows a command's\n"
               "options.\n") +
           QString::fromLatin1(kExitStatus);
}

std::optional<QString> CommandHelp(const QString& command) {
    if (command == QLatin1String("download"))
        return downloadHelp();
    if (command == QLatin1String("inboot"))
        return inbootHelp();
    if (command == QLatin1String("list"))
        return listHelp();
    if (command == QLatin1String("check"))
        return checkHelp();
    if (command == QLatin1String("history"))
        return historyHelp();
    if (command == QLatin1String("report"))
        return reportHelp();
    if (command == QLatin1String("records"))
        return RecordsHelp();
    if (command == QLatin1String("help"))
        return helpHelp();
    return std::nullopt;
}

} // namespace posflash
