#include "line/line_command_line.h"

#include "base/retry_limit.h"
#include "unit/printer_parse.h"

#include <QCoreApplication>

namespace posflash {

namespace {

Error usage(const QString& text) {
    return Error{2, text};
}

} // namespace

void LineCommandLine::addTo(QCommandLineParser& parser) const {
    for (const QCommandLineOption* option :
         {&line, &image, &font, &port, &usbPath, &serialPrefix, &ip, &mac, &operatorName, &station,
          &language, &retries, &requireLabel, &records, &recipe, &recipeFromRecords, &start,
          &printSlotCodes, &out})
        parser.addOption(*option);
}

Result<LineStart> LineCommandLine::read(const QCommandLineParser& parser,
                                        LineSettings stored) const {
    LineStart wanted;
    LineSettings& s = stored;
    if (parser.isSet(image))
        s.imagePath = parser.value(image);
    if (parser.isSet(font))
        s.font = true;
    // Slots named on the command line replace the kept ones as a whole: a station's script
    // says which printers it has.
    const bool slotsNamed = parser.isSet(port) || parser.isSet(usbPath) || parser.isSet(ip);
    if (slotsNamed) {
        s.ports = parser.values(port);
        s.usbPaths = parser.values(usbPath);
        s.network.clear();
        const QStringList ips = parser.values(ip);
        const QStringList macs = parser.values(mac);
        if (macs.size() > ips.size())
            return usage(QStringLiteral("--mac %1 follows no --ip").arg(macs.last()));
        for (int i = 0; i < ips.size(); ++i) {
            if (const auto printer = ParseNetworkPrinter(ips[i], macs.value(i)); !printer)
                return usage(printer.error().text);
            s.network.push_back({ips[i], macs.value(i)});
        }
    } else if (parser.isSet(mac)) {
        return usage(QStringLiteral("--mac goes with an --ip"));
    }
    if (parser.isSet(serialPrefix))
        s.serialPrefix = parser.value(serialPrefix);
    if (parser.isSet(operatorName))
        s.operatorName = parser.value(operatorName);
    if (parser.isSet(station))
        s.station = parser.value(station).trimmed();
    if (parser.isSet(language)) {
        const QString lang = parser.value(language);
        if (lang != "en" && lang != "zh")
            return usage(QStringLiteral("--lang wants en or zh, not \"%1\"").arg(lang));
        s.language = lang;
    }
    if (parser.isSet(retries)) {
        bool ok = false;
        const int n = parser.value(retries).toInt(&ok);
        if (!ok || n < 0 || n > kMostRetries)
            return usage(QStringLiteral("--retries wants 0 to %1, not \"%2\"")
                             .arg(kMostRetries)
                             .arg(parser.value(retries)));
        s.retries = n;
    }
    if (parser.isSet(requireLabel))
        s.requireLabel = true;
    if (parser.isSet(records))
        s.records = parser.value(records).trimmed();
    if (parser.isSet(recipe) && parser.isSet(recipeFromRecords))
        return usage(QStringLiteral("--recipe and --recipe-from-records exclude each other"));
    // One given on the command line replaces the kept one of either kind.
    if (parser.isSet(recipe)) {
        s.recipe = parser.value(recipe);
        s.recipeFromRecords.clear();
    }
    if (parser.isSet(recipeFromRecords)) {
        s.recipeFromRecords = parser.value(recipeFromRecords).trimmed();
        s.recipe.clear();
    }
    wanted.printSlotCodes = parser.isSet(printSlotCodes);
    wanted.out = parser.value(out);
    if (parser.isSet(out) && !wanted.printSlotCodes)
        return usage(QStringLiteral("--out goes with --print-slot-codes"));
    if (wanted.printSlotCodes && parser.isSet(start))
        return usage(QStringLiteral("--print-slot-codes opens no window: leave out --start"));
    wanted.start = parser.isSet(start);
    if (wanted.start) {
        if (const QString problem = StartProblem(s); !problem.isEmpty())
            return usage(QStringLiteral("--start: %1").arg(problem));
    }
    wanted.settings = std::move(s);
    return wanted;
}

} // namespace posflash
