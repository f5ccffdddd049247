#include "line/slot_codes.h"

#include "line/code128.h"
#include "line/slot_choice.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTranslator>

#include <cstdio>

namespace posflash {

namespace {

// Texts are marked where they stand, so that lupdate files them under this context.
QString text(const char* english) {
    return QCoreApplication::translate("posflash::SlotCodes", english);
}

// The bars as SVG: a module of 0.4 mm reads with any hand scanner; ten modules of quiet zone
// on each side.
QString barcodeSvg(const std::vector<int>& widths) {
    constexpr int kQuiet = 10;
    int modules = 2 * kQuiet;
    for (int w : widths)
        modules += w;
    QString bars;
    int x = kQuiet;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (i % 2 == 0)
            bars += QStringLiteral("<rect x=\"%1\" y=\"0\" width=\"%2\" height=\"40\"/>")
                        .arg(x)
                        .arg(widths[i]);
        x += widths[i];
    }
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1mm\" height=\"16mm\" "
               "viewBox=\"0 0 %2 40\" preserveAspectRatio=\"none\" "
               "shape-rendering=\"crispEdges\"><rect width=\"%2\" height=\"40\" "
               "fill=\"#fff\"/>%3</svg>")
        .arg(modules * 0.4, 0, 'f', 1)
        .arg(modules)
        .arg(bars);
}

} // namespace

std::optional<QString> SlotCodeRest(const QString& scan, const QString& prefix) {
    if (prefix.isEmpty() || !scan.startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    return scan.mid(prefix.size()).trimmed();
}

QString SlotCodesPage(const LineSettings& settings) {
    QString cells;
    int number = 0;
    for (const SlotChoice& slot : SlotsOf(settings)) {
        const QString code = settings.slotPrefix + QString::number(++number);
        const auto widths = Code128Widths(code);
        cells += QStringLiteral("<div class=\"slot\">%1<div class=\"code\">%2</div>"
                                "<div class=\"where\">%3</div></div>\n")
                     .arg(widths ? barcodeSvg(*widths) : QString(), code.toHtmlEscaped(),
                          text(QT_TRANSLATE_NOOP("posflash::SlotCodes", "Slot %1 · %2"))
                              .arg(number)
                              .arg(SlotTitle(slot))
                              .toHtmlEscaped());
    }
    const QString title = text(QT_TRANSLATE_NOOP("posflash::SlotCodes", "Slot codes"));
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\"><head><meta charset=\"utf-8\">"
                          "<title>%2</title><style>"
                          "body{font-family:sans-serif;margin:10mm}"
                          ".slot{display:inline-block;margin:4mm;padding:5mm;border:1px dashed "
                          "#888;text-align:center;break-inside:avoid}"
                          ".code{font:bold 30pt monospace;margin-top:2mm}"
                          ".where{font-size:12pt;color:#333}"
                          "</style></head><body>\n<h1>%2</h1>\n<p>%3</p>\n%4</body></html>\n")
        .arg(LineSpeaksChinese(settings) ? QStringLiteral("zh") : QStringLiteral("en"),
             title.toHtmlEscaped(),
             text(QT_TRANSLATE_NOOP("posflash::SlotCodes",
                                    "Scan a slot's code, then a unit's label: the label goes to "
                                    "that slot's waiting unit."))
                 .toHtmlEscaped(),
             cells);
}

int PrintSlotCodes(const LineSettings& settings, const QString& outPath) {
    QTranslator chinese;
    if (LineSpeaksChinese(settings) && chinese.load(QStringLiteral(":/i18n/posflash_zh_CN.qm")))
        QCoreApplication::installTranslator(&chinese);
    if (settings.slotCount() == 0) {
        std::fprintf(stderr, "posflash: %s\n",
                     qPrintable(text(QT_TRANSLATE_NOOP(
                         "posflash::SlotCodes", "--print-slot-codes: name the slots (--port, "
                                                "--usb-path, --ip) or keep them in line.ini "
                                                "first."))));
        return 2;
    }
    const QByteArray page = SlotCodesPage(settings).toUtf8();
    if (outPath.isEmpty()) {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly) && out.write(page) == page.size())
            return 0;
        std::fprintf(stderr, "posflash: %s\n", qPrintable(out.errorString()));
        return 1;
    }
    QSaveFile out(outPath);
    if (out.open(QIODevice::WriteOnly) && out.write(page) == page.size() && out.commit())
        return 0;
    std::fprintf(stderr, "posflash: %s\n",
                 qPrintable(text(QT_TRANSLATE_NOOP("posflash::SlotCodes", "cannot write %1: %2"))
                                .arg(outPath, out.errorString())));
    return 1;
}

} // namespace posflash
