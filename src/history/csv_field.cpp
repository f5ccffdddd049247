#include "history/csv_field.h"

namespace posflash {

namespace {

bool startsAFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case '=':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '+':
    case '-': {
        bool number = false;
        text.toDouble(&number);
        return !number;
    }
    default:
        return false;
    }
}

} // namespace

QString CsvField(const QString& text) {
    const QString cell = startsAFormula(text) ? QLatin1Char('\'') + text : text;
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) &&
        !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvRow(const QStringList& cells) {
    QStringList fields;
    for (const QString& cell : cells)
        fields << CsvField(cell);
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace posflash
