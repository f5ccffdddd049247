// The report's figures from history rows, at the report layer's own API.
#include "base/faces.h"
#include "history/history_store.h"
#include "report/report_charts.h"
#include "report/report_document.h"
#include "report/report_figures.h"
#include "report/report_texts.h"
#include "report/table_widths.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <numeric>

namespace posflash {
namespace {

struct Attempt {
    const char* unit;
    int attempt;
    const char* outcome;
    const char* cause;
    int startS; // seconds after 2026-03-02 08:00 UTC
    int ms;
    const char* station = "line-1";
    const char* shift = "";
    const char* port = "/dev/ttyACM0";
    const char* file = ""; // none: a row from before file names were kept
};

std::vector<HistoryRecord> recordsOf(std::initializer_list<Attempt> attempts) {
    std::vector<HistoryRecord> records;
    int n = 0;
    for (const Attempt& a : attempts) {
        HistoryRecord r;
        r.uuid = QStringLiteral("00000000-0000-4000-8000-%1").arg(++n, 12, 10, QLatin1Char('0'));
        r.unit = QLatin1String(a.unit);
        r.attempt = a.attempt;
        r.outcome = QLatin1String(a.outcome);
        r.cause = QLatin1String(a.cause);
        r.startedAt = QDateTime(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc()).addSecs(a.startS);
        r.milliseconds = a.ms;
        r.station = QLatin1String(a.station);
        r.shift = QLatin1String(a.shift);
        r.printer.node = QLatin1String(a.port);
        r.kind = "program";
        r.operatorName = "Li Wei";
        r.filePath = a.file;
        r.sha256 = *a.file ? QCryptographicHash::hash(a.file, QCryptographicHash::Sha256)
                           : QByteArray(32, '\x5a');
        // As the engine records them: a start frame built for every attempt it did not refuse.
        r.crc16 = r.outcome == QLatin1String("refused") ? -1 : 0x1234;
        records.push_back(r);
    }
    return records;
}

TEST(ReportUnits, AUnitsAttemptsFoldIntoOneVerdict) {
    // clang-format off
    const struct { const char* name; std::vector<HistoryRecord> records; bool firstPass, passed; int attempts, failures; QStringList causes; qint64 unitMs; } cases[] = {
        {"passed at once", recordsOf({{"u", 1, "completed", "", 0, 4000}}), true, true, 1, 0, {}, 4000},
        // Given out of order: the attempt numbers decide, the time runs to the last one's end.
        {"passed at the retry", recordsOf({{"u", 2, "completed", "", 10, 4000}, {"u", 1, "failed", "printer-silent", 0, 9000}}), false, true, 2, 1, {"printer-silent"}, 14000},
        {"failed for good", recordsOf({{"u", 1, "failed", "printer-refused", 0, 2000}, {"u", 2, "failed", "printer-silent", 5, 9000}}), false, false, 2, 2, {"printer-refused", "printer-silent"}, 14000},
        {"cancelled at the end", recordsOf({{"u", 1, "completed", "", 0, 100}, {"u", 2, "cancelled", "cancelled", 1, 100}}), true, false, 2, 0, {}, 1100},
        {"a record of its own", recordsOf({{"", 0, "refused", "bad-trailer", 0, 5}}), false, false, 1, 1, {"bad-trailer"}, 5},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ReportUnit> units = UnitsOf(c.records);
        ASSERT_EQ(units.size(), 1u);
        const ReportUnit& u = units[0];
        EXPECT_EQ(u.firstPass, c.firstPass);
        EXPECT_EQ(u.passed, c.passed);
        EXPECT_EQ(u.attempts, c.attempts);
        EXPECT_EQ(u.failures, c.failures);
        EXPECT_EQ(u.failureCauses, c.causes);
        EXPECT_EQ(u.unitMs, c.unitMs);
        EXPECT_EQ(u.startedAt, recordsOf({{"", 0, "", "", 0, 0}})[0].startedAt);
    }
}

TEST(ReportFigures, YieldsParetoTimesRetriesAndPortsOfALine) {
    const char* a = "5e0b7c1d-2a3f-4b6c-8d9e-0f1a2b3c4d5e";
    std::vector<ReportUnit> units = UnitsOf(recordsOf({
        {"u1", 1, "completed", "", 0, 1000, "line-1", a, "/dev/p1"},
        {"u2", 1, "failed", "printer-silent", 0, 9000, "line-1", a, "/dev/p2"},
        {"u2", 2, "completed", "", 20, 3000, "line-1", a, "/dev/p2"},
        {"u3", 1, "failed", "printer-silent", 0, 9000, "line-1", a, "/dev/p2"},
        {"u3", 2, "failed", "printer-refused", 10, 2000, "line-1", a, "/dev/p2"},
        {"u4", 1, "failed", "printer-refused", 0, 3000, "line-1", a, "/dev/p3"},
        {"u5", 1, "completed", "", 0, 4000, "line-2", "", "/dev/p1"},
        {"u6", 1, "failed", "printer-silent", 86400, 9000, "line-2", "", "/dev/p1"},
        // Refused before the first frame: in the causes, never a unit nor the port's failure.
        {"u8", 1, "refused", "recipe-image", 30, 5, "line-1", a, "/dev/p4"},
        {"u9", 1, "refused", "recipe-label", 40, 5, "line-1", a, "/dev/p1"},
        {"u9", 2, "completed", "", 50, 1000, "line-1", a, "/dev/p1"},
    }));
    ReportUnit engineering = units.front();
    engineering.unit = "u7";
    engineering.mode = "engineering";
    units.push_back(engineering);
    const ReportFigures f = FiguresOf(units);

    EXPECT_EQ(f.engineeringUnits, 1);
    EXPECT_EQ(f.beforeFirstFrame, 2);
    EXPECT_EQ(f.total.units, 7);
    EXPECT_EQ(f.attempts, 9);
    EXPECT_EQ(f.total.firstPass, 3);
    EXPECT_EQ(f.total.passed, 4);
    EXPECT_EQ(f.stations, (QStringList{"line-1", "line-2"}));
    EXPECT_EQ(f.images.size(), 1u);

    // line-1's shift, then line-2's two days without a shift.
    ASSERT_EQ(f.groups.size(), 3u);
    // clang-format off
    const struct { const char* station; const char* shift; const char* day; int units, firstPass, passed, attempts; } groups[] = {
        {"line-1", a,  "2026-03-02", 5, 2, 3, 7},
        {"line-2", "", "2026-03-02", 1, 1, 1, 1},
        {"line-2", "", "2026-03-03", 1, 0, 0, 1},
    };
    // clang-format on
    for (size_t i = 0; i < f.groups.size(); ++i) {
        SCOPED_TRACE(i);
        const GroupYield& g = f.groups[i];
        EXPECT_EQ(g.station, groups[i].station);
        EXPECT_EQ(g.shift, groups[i].shift);
        EXPECT_EQ(g.day, groups[i].day);
        EXPECT_EQ(g.yield.units, groups[i].units);
        EXPECT_EQ(g.yield.firstPass, groups[i].firstPass);
        EXPECT_EQ(g.yield.passed, groups[i].passed);
        EXPECT_EQ(g.attempts, groups[i].attempts);
    }

    ASSERT_EQ(f.pareto.size(), 4u);
    EXPECT_EQ(f.pareto[0].cause, "printer-silent");
    EXPECT_EQ(f.pareto[0].count, 3);
    EXPECT_DOUBLE_EQ(f.pareto[0].sharePercent, 3 * 100.0 / 7);
    EXPECT_EQ(f.pareto[1].cause, "printer-refused");
    EXPECT_EQ(f.pareto[2].cause, "recipe-image");
    EXPECT_DOUBLE_EQ(f.pareto[3].cumulativePercent, 100);

    ASSERT_EQ(f.times.size(), 2u);
    EXPECT_EQ(f.times[0].units, 5);
    EXPECT_DOUBLE_EQ(f.times[0].medianMs, 11000); // 1 s, 3 s, 11 s (u9's), 12 s, 23 s
    EXPECT_DOUBLE_EQ(f.times[0].p95Ms, 20800);

    EXPECT_EQ(f.retriedUnits, 2);
    EXPECT_EQ(f.retryAttempts, 2);
    EXPECT_EQ(f.savedByRetry, 1);

    ASSERT_EQ(f.ports.size(), 3u);
    EXPECT_EQ(f.ports[0].port, "/dev/p2");
    EXPECT_EQ(f.ports[0].failures, 3);
    EXPECT_EQ(f.ports[0].units, 2);
    EXPECT_EQ(f.ports[1].port, "/dev/p1"); // ties keep the ports' order
    EXPECT_EQ(f.ports[1].failures, 1);
    EXPECT_EQ(f.ports[1].attempts, 4);
    EXPECT_EQ(f.ports[2].port, "/dev/p3");
}

// One forged row may hold any byte: the charts stay valid XML (else every chart of the PDF is
// empty), and a cause with a space is a cause of its own, not the one it begins with.
TEST(ReportFigures, AnyBytesInARowLeaveChartsValidAndCausesWhole) {
    const std::vector<ReportUnit> units = UnitsOf(recordsOf({
        {"a", 1, "failed", "printer-silent", 0, 100, "line\x01-1", "", "/dev/tty\x1b[2J"},
        {"b", 1, "failed", "printer-silent x", 1, 100, "line\x01-1", "", "/dev/ttyACM1"},
        {"c", 1, "failed", "printer-silent", 2, 100},
    }));
    const ReportFigures f = FiguresOf(units);
    ASSERT_EQ(f.pareto.size(), 2u);
    EXPECT_EQ(f.pareto[0].cause, "printer-silent");
    EXPECT_EQ(f.pareto[0].count, 2);
    EXPECT_EQ(f.pareto[1].cause, QString::fromUtf8("printer-silent\u2423x"));
    EXPECT_TRUE(f.stations.contains(QString::fromUtf8("line\u2401-1")));
    Faces faces;
    const ReportTexts texts(faces);
    for (const QString& svg : {ParetoSvg(f, texts), YieldSvg(f, texts)}) {
        QXmlStreamReader xml(svg);
        while (!xml.atEnd())
            xml.readNext();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    }
}

// A supervisor reads names, not codes: images by file and short hash (by hash where no row
// names the file), shifts by start and operator, the filters in words, counts in the right
// number; every head and figure of every table fits its column; each cause is whole under its
// bar, and no bar's count lies under the cumulative line's dot.
TEST(ReportDocument, NamesWhatItCountsAndNothingIsCut) {
    const char* shift = "27a54225-2a3f-4b6c-8d9e-0f1a2b3c4d5e";
    const QByteArray file = "/srv/firmware/fw-2.1.bin";
    const ReportFigures f = FiguresOf(UnitsOf(recordsOf({
        {"u1", 1, "failed", "recipe-invalid", 0, 900, "line-1", shift, "/dev/p1", file},
        {"u2", 1, "failed", "wrong-frame-number", 60, 900, "line-1", shift},
        {"u3", 1, "failed", "wrong-frame-number", 70, 900, "line-1", shift},
        {"u4", 1, "failed", "wrong-frame-number", 80, 900, "line-1", shift},
    })));
    HistoryFilter filter;
    filter.station = "line-1";
    filter.since = QDateTime(QDate(2026, 3, 1), QTime(0, 0));
    filter.until = QDateTime(QDate(2026, 3, 8), QTime(0, 0));
    const ReportSource source{"history.db", filter, true, {}};
    const QString hash = QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex().left(8);
    const QString start =
        f.groups.at(0).start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    Faces faces;
    for (const bool english : {true, false}) {
        faces.setUseEnglish(english);
        const ReportDocument d = DocumentOf(f, source, ReportTexts(faces));
        std::map<QString, QString> facts(d.facts.begin(), d.facts.end());
        const QString images = english
                                   ? "program 5a5a5a5a5a5a, 3 units; program fw-2.1.bin (%1), "
                                     "1 unit"
                                   : "program 5a5a5a5a5a5a，3 台；program fw-2.1.bin (%1)，1 台";
        EXPECT_EQ(facts[d.facts[2].first], images.arg(hash))
            << facts[d.facts[2].first].toStdString();
        EXPECT_EQ(facts[d.facts[4].first],
                  english ? "the line's records, station line-1, 1–7 March 2026"
                          : "产线记录，工位 line-1，2026年3月1日 – 2026年3月7日");
        EXPECT_EQ(d.sections[0].table.rows.at(0).at(1),
                  QString(english ? "shift %1, Li Wei" : "班次 %1，Li Wei").arg(start));
    }
    // A fake font, each letter 5 wide (6 in a head): every word of a head, every figure whole.
    const TextMeasure measure = [](const QString& text, bool head) {
        return text.size() * (head ? 6.0 : 5.0);
    };
    faces.setUseEnglish(true);
    for (const ReportSection& section : DocumentOf(f, source, ReportTexts(faces)).sections)
        for (const double width : {500.0, 400.0}) {
            SCOPED_TRACE(section.title.toStdString() + " in " + std::to_string(width));
            const std::vector<double> widths = ColumnWidths(section.table, width, 6, measure);
            EXPECT_NEAR(std::accumulate(widths.begin(), widths.end(), 0.0), width, 1e-6);
            for (size_t c = 0; c < widths.size(); ++c) {
                for (const QString& word : section.table.head[c].split(' '))
                    EXPECT_LE(measure(word, true) + 6, widths[c] + 1e-6) << word.toStdString();
                for (const QStringList& row : section.table.rows)
                    for (const QString& text :
                         CellWraps(row[c]) ? row[c].split(' ') : QStringList{row[c]})
                        EXPECT_LE(measure(text, false) + 6, widths[c] + 1e-6) << text.toStdString();
            }
        }

    // Eight long causes; the second bar's top where the cumulative line passes.
    ReportFigures many;
    const QStringList causes{"monitor-unreachable", "recipe-invalid", "wrong-frame-number",
                             "file-name-too-long",  "printer-silent", "printer-refused",
                             "link-timeout",        "bad-trailer"};
    for (qsizetype i = 0; i < causes.size(); ++i)
        many.pareto.push_back({causes[i], i < 2 ? 5 : 1, 0,
                               i < 2 ? 41.7 * double(i + 1) : 85.0 + 2.5 * double(i - 2)});
    const QString svg = ParetoSvg(many, ReportTexts(faces));
    static const QRegularExpression label("class=\"cause-label\"[^>]*>([^<]*)<"),
        count("<text x=\"[\\d.]+\" y=\"([\\d.]+)\"[^>]*bar-count"),
        dot("<circle cx=\"[\\d.]+\" cy=\"([\\d.]+)\"");
    QString labels;
    for (const QRegularExpressionMatch& m : label.globalMatch(svg))
        labels += m.captured(1);
    EXPECT_EQ(labels, causes.join("")) << "each cause whole";
    QList<double> counts, dots;
    for (auto [re, found] : {std::pair{&count, &counts}, std::pair{&dot, &dots}})
        for (const QRegularExpressionMatch& m : re->globalMatch(svg))
            *found << m.captured(1).toDouble();
    ASSERT_EQ(counts.size(), causes.size());
    ASSERT_EQ(dots.size(), causes.size());
    for (qsizetype i = 0; i < causes.size(); ++i)
        EXPECT_TRUE(dots[i] + 3 < counts[i] - 11 || dots[i] - 3 > counts[i] + 2)
            << "count at " << counts[i] << ", dot at " << dots[i];
}

TEST(ReportFigures, NoUnitsGiveZerosNotADivisionByZero) {
    const ReportFigures f = FiguresOf({});
    EXPECT_EQ(f.total.units, 0);
    EXPECT_EQ(f.total.finalPercent(), 0);
    EXPECT_TRUE(f.pareto.empty() && f.groups.empty() && f.ports.empty());
}

TEST(ReportFigures, PercentilesInterpolateAsTheDatabaseDoes) {
    // clang-format off
    const struct { std::vector<qint64> values; double p, expected; } cases[] = {
        {{}, 0.5, 0},
        {{7}, 0.95, 7},
        {{4000, 1000, 3000, 2000}, 0.5, 2500},
        {{1000, 2000, 3000, 4000}, 0.95, 3850},
        {{1, 2, 3}, 0.5, 2},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Percentile(c.values, c.p), c.expected) << c.values.size();
}

// A unit is judged where it began, as the line's view is: a retry inside the period does not
// bring in a unit that began before it, nor a second station's retry the unit.
TEST(ReportFigures, FiltersJudgeAUnitByItsFirstAttempt) {
    const std::vector<ReportUnit> units = UnitsOf(recordsOf({
        {"u1", 1, "failed", "printer-silent", 0, 900},
        {"u1", 2, "completed", "", 120, 800},
        {"u2", 1, "completed", "", 200, 700, "line-2"},
        {"u2", 2, "completed", "", 300, 700, "line-1"},
    }));
    HistoryFilter since;
    since.since = QDateTime(QDate(2026, 3, 2), QTime(8, 1), QTimeZone::utc());
    HistoryFilter station;
    station.station = "line-1";
    // clang-format off
    const struct { const char* what; HistoryFilter filter; QStringList units; } cases[] = {
        {"none", {}, {"u1", "u2"}},
        {"since the first retry", since, {"u2"}},
        {"the retry's station", station, {"u1"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        QStringList found;
        for (const ReportUnit& u : UnitsMatching(units, c.filter))
            found << u.unit;
        EXPECT_EQ(found, c.units) << c.what;
    }
}

} // namespace
} // namespace posflash
