#include "cli/usage_hint.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace posflash {
namespace {

qsizetype distance(const QString& a, const QString& b) {
    std::vector<qsizetype> row(static_cast<size_t>(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[static_cast<size_t>(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[static_cast<size_t>(j)];
            row[static_cast<size_t>(j)] = std::min({above + 1, row[static_cast<size_t>(j - 1)] + 1,
                                                    diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

} // namespace

QString NearestOption(const QString& unknown, const QStringList& known) {
    if (unknown.isEmpty())
        return {};
    QStringList names = known;
    names.removeDuplicates();
    QStringList starting;
    for (const QString& name : names)
        if (name.startsWith(unknown))
            starting << name;
    if (starting.size() == 1)
        return starting.front();
    QString best;
    qsizetype bestDistance = 3;
    bool tied = false;
    for (const QString& name : names) {
        const qsizetype d = distance(unknown, name);
        if (d < bestDistance) {
            best = name, bestDistance = d, tied = false;
        } else if (d == bestDistance) {
            tied = true;
        }
    }
    return tied ? QString() : best;
}

QString UsageHint(const QString& why, const QStringList& known, const QString& command,
                  const QStringList& commands) {
    QString hint;
    // The parser's own words: "Unknown option 'prot'." (or "Unknown options: a, b.").
    static const QRegularExpression unknownOption(QStringLiteral("^Unknown option '([^']+)'"));
    if (const auto m = unknownOption.match(why); m.hasMatch())
        if (const QString meant = NearestOption(m.captured(1), known); !meant.isEmpty())
            hint += QStringLiteral("did you mean --%1?\n").arg(meant);
    static const QRegularExpression unknownCommand(QStringLiteral("^unknown command (\\S+)$"));
    if (const auto m = unknownCommand.match(why); m.hasMatch())
        if (const QString meant = NearestOption(m.captured(1), commands); !meant.isEmpty())
            hint += QStringLiteral("did you mean %1?\n").arg(meant);
    hint += command.isEmpty() ? QStringLiteral("see 'posflash-cli help'\n")
                              : QStringLiteral("see 'posflash-cli help %1'\n").arg(command);
    return hint;
}

} // namespace posflash
