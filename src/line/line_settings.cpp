#include "line/line_settings.h"

#include "base/config_paths.h"
#include "base/ini_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace posflash {

namespace {

const QString kShift = QStringLiteral("SHIFT");
const QString kPorts = QStringLiteral("PORTS");
const QString kUsb = QStringLiteral("USB");
const QString kNetwork = QStringLiteral("NETWORK");

// A list goes into a section of its own, one numbered key per entry: a single value would be
// cut at the store's 255 bytes.
QStringList readList(const IniStore& store, const QString& section) {
    QStringList values;
    if (const auto entries = store.GetIniSection(section))
        for (const auto& [key, value] : *entries)
            if (!value.isEmpty())
                values << value;
    return values;
}

Status writeList(IniStore& store, const QString& section, const QStringList& values) {
    std::vector<std::pair<QString, QString>> entries;
    for (int i = 0; i < values.size(); ++i)
        entries.emplace_back(QString::number(i + 1), values[i]);
    return store.WriteIniSection(section, entries);
}

// Texts are marked where they stand, so that lupdate files them under this context.
QString text(const char* english) {
    return QCoreApplication::translate("LineSettings", english);
}

} // namespace

QString LineSettingsPath() {
    return QDir(ConfigFolder()).filePath(QStringLiteral("line.ini"));
}

LineSettings LoadLineSettings(const QString& filePath) {
    const IniStore store(filePath);
    LineSettings s;
    s.imagePath = store.GetIniString(kShift, "image");
    s.font = store.GetIniString(kShift, "font") == "1";
    bool ok = false;
    const int retries = store.GetIniString(kShift, "retries").toInt(&ok);
    if (ok && retries >= 0 && retries <= kMaxRetries)
        s.retries = retries;
    s.requireLabel = store.GetIniString(kShift, "requirelabel") == "1";
    s.operatorName = store.GetIniString(kShift, "operator");
    s.station = store.GetIniString(kShift, "station").trimmed();
    if (const QString language = store.GetIniString(kShift, "language");
        language == "en" || language == "zh")
        s.language = language;
    s.serialPrefix = store.GetIniString(kShift, "serialprefix");
    // Empty would make every number a slot code: the default then.
    if (const QString prefix = store.GetIniString(kShift, "slotprefix"); !prefix.isEmpty())
        s.slotPrefix = prefix;
    s.records = store.GetIniString(kShift, "records").trimmed();
    s.recipe = store.GetIniString(kShift, "recipe").trimmed();
    s.recipeFromRecords = store.GetIniString(kShift, "recipefromrecords").trimmed();
    s.ports = readList(store, kPorts);
    s.usbPaths = readList(store, kUsb);
    for (const QString& pair : readList(store, kNetwork)) {
        const QStringList parts = pair.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!parts.isEmpty())
            s.network.push_back({parts[0], parts.value(1)});
    }
    return s;
}

Status SaveLineSettings(const LineSettings& s, const QString& filePath) {
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    IniStore store(filePath);
    QStringList network;
    for (const NetworkSlotChoice& slot : s.network)
        network << (slot.ip + ' ' + slot.mac).trimmed();
    const std::pair<QString, QString> values[] = {
        {"image", s.imagePath},
        {"font", s.font ? "1" : "0"},
        {"retries", QString::number(s.retries)},
        {"requirelabel", s.requireLabel ? "1" : "0"},
        {"operator", s.operatorName},
        {"station", s.station},
        {"language", s.language},
        {"serialprefix", s.serialPrefix},
        {"slotprefix", s.slotPrefix},
        {"recipe", s.recipe},
        {"recipefromrecords", s.recipeFromRecords},
    };
    for (const auto& [key, value] : values)
        if (Status written = store.WriteIniString(kShift, key, value); !written)
            return written;
    for (const auto& [section, list] :
         {std::pair{kPorts, s.ports}, std::pair{kUsb, s.usbPaths}, std::pair{kNetwork, network}})
        if (Status written = writeList(store, section, list); !written)
            return written;
    return {};
}

bool LineSpeaksChinese(const LineSettings& s) {
    if (!s.language.isEmpty())
        return s.language == "zh";
    return QLocale::system().language() == QLocale::Chinese;
}

QString StartProblem(const LineSettings& s) {
    if (s.imagePath.isEmpty())
        return text(QT_TRANSLATE_NOOP("LineSettings", "Choose the image to load."));
    if (!QFileInfo(s.imagePath).isFile())
        return text(QT_TRANSLATE_NOOP("LineSettings", "The image %1 cannot be found."))
            .arg(s.imagePath);
    if (s.slotCount() == 0)
        return text(QT_TRANSLATE_NOOP(
            "LineSettings", "Name at least one slot: a port, a USB path or a network printer."));
    for (const NetworkSlotChoice& slot : s.network)
        if (slot.ip.isEmpty())
            return text(
                QT_TRANSLATE_NOOP("LineSettings", "Every network printer needs its IP address."));
    if (s.retries < 0 || s.retries > kMaxRetries)
        return text(QT_TRANSLATE_NOOP("LineSettings", "Retries must be 0 to %1.")).arg(kMaxRetries);
    if (s.operatorName.trimmed().isEmpty())
        return text(QT_TRANSLATE_NOOP("LineSettings", "Enter the operator's name."));
    if (!s.recipe.isEmpty() && !s.recipeFromRecords.isEmpty())
        return text(QT_TRANSLATE_NOOP("LineSettings",
                                      "Choose one recipe: a file or one from the line's records."));
    return {};
}

} // namespace posflash
