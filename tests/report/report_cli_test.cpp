// posflash-cli report over a history made by real downloads against simulated printers: the
// HTML as a browser draws it, the PDF as pdftotext reads it, and the line's records through a
// PostgreSQL cluster of the test's own.
#include "support/cli_process.h"
#include "support/pg_cluster.h"
#include "support/printer_sims.h"
#include "support/test_files.h"

#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace posflash {
namespace {

using namespace testing;

bool required() {
    return qEnvironmentVariableIntValue("POSFLASH_REQUIRE_POSTGRES") == 1;
}

// The report without the lines that name where it came from and when it was made.
QString figuresOnly(QString html) {
    static const QRegularExpression said("<dt>(Source|Made|Filters)</dt><dd>[^<]*</dd>\n");
    return html.remove(said);
}

// Six printers at once: three good, two silent, one refusing; one history, shared by the tests.
class ReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = std::make_unique<QTemporaryDir>();
        sims_ = std::make_unique<PrinterSims>();
        const QString font = WriteFile(home_->filePath("font.bin"), fontBytes(40 * 1024));
        QStringList args{"download", "--font", "--station", "line-1", "--operator", "Ann"};
        for (const QStringList& faults :
             {QStringList{}, {}, {}, {"--silent"}, {"--silent"}, {"--refuse", "3:5:3"}})
            args << "--port" << sims_->serial(faults).link();
        const Finished ran = runCli(home_->path(), args << font, 120000);
        ASSERT_FALSE(ran.crashed) << ran.err.toStdString();
        EXPECT_EQ(ran.exitCode, 1) << ran.err.toStdString();
    }
    static void TearDownTestSuite() {
        sims_.reset();
        home_.reset();
    }

    static Finished report(const QStringList& args) {
        return runCli(home_->path(), QStringList{"report", "--lang", "en"} + args, 60000);
    }
    // The report in format written to a file of the home; its text.
    static QString written(const QString& name, const QStringList& more = {}) {
        const QString path = QDir::isAbsolutePath(name) ? name : home_->filePath(name);
        const Finished r = report(QStringList{"--out", path} + more);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return path;
    }

    static inline std::unique_ptr<QTemporaryDir> home_;
    static inline std::unique_ptr<PrinterSims> sims_;
};

TEST_F(ReportTest, HtmlShowsHalfTheUnitsPassedAndSilentBeforeRefusedAndCsvEveryUnit) {
    const QString html = QString::fromUtf8(ReadFile(written("report.html")));
    EXPECT_TRUE(html.contains("First-pass yield<b>50.0 %</b>")) << html.toStdString();
    EXPECT_TRUE(html.contains("Final yield<b>50.0 %</b>"));
    EXPECT_TRUE(html.contains("<td>line-1</td><td>day ")) << "the units of no shift, per day";
    EXPECT_TRUE(html.contains("<td>printer-silent</td><td>2</td><td>66.7 %</td><td>66.7 %</td>"));
    EXPECT_TRUE(html.contains("<td>printer-refused</td><td>1</td><td>33.3 %</td><td>100.0 %</td>"));
    EXPECT_TRUE(html.contains("check that the image is meant for this printer")) << "a remedy";
    EXPECT_TRUE(
        html.contains(QRegularExpression("<dd>font font\\.bin \\([0-9a-f]{8}\\), 6 units</dd>")))
        << "the image by its file name and short hash";
    const qsizetype silent = html.indexOf("data-cause=\"printer-silent\"");
    const qsizetype refused = html.indexOf("data-cause=\"printer-refused\"");
    EXPECT_TRUE(silent > 0 && silent < refused);
    EXPECT_EQ(html.count("class=\"cause-bar\""), 2) << "one bar per cause";
    for (const char* fetched : {"http:", "https:", "url(", "<script", "<link", "src="})
        EXPECT_FALSE(html.contains(fetched, Qt::CaseInsensitive)) << fetched;

    const Finished csv = report({"--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    const QStringList lines = QString::fromUtf8(csv.out).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.filter(",1,yes,yes,,,").size(), 3);
    EXPECT_EQ(lines.filter(",no,no,printer-silent,printer-silent,").size(), 2);
}

TEST_F(ReportTest, ChromiumDrawsTheReportWithItsCharts) {
    if (QStandardPaths::findExecutable("chromium").isEmpty()) {
        if (required())
            FAIL() << "chromium is required here: install the package chromium";
        GTEST_SKIP() << "chromium is not installed: install the package chromium";
    }
    const QString html = written("shown.html");
    const bool update = qEnvironmentVariableIntValue("POSFLASH_UPDATE_DOCS") == 1;
    const QString png =
        update ? QStringLiteral(POSFLASH_DOCS_DIR "/report.png") : home_->filePath("report.png");
    QFile::remove(png);
    QTemporaryDir profile;
    QProcess chromium;
    chromium.setProcessChannelMode(QProcess::MergedChannels);
    chromium.start("chromium", {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                                "--user-data-dir=" + profile.path(), "--window-size=800,1350",
                                "--screenshot=" + png, QUrl::fromLocalFile(html).toString()});
    ASSERT_TRUE(chromium.waitForFinished(120000)) << "chromium did not end";
    ASSERT_EQ(chromium.exitCode(), 0) << chromium.readAll().toStdString();
    const QImage shot(png);
    ASSERT_FALSE(shot.isNull()) << chromium.readAll().toStdString();
    // Not blank: many colours (text, bars, lines), a fair part of the page not white, and the
    // Pareto's red bars: the chart was drawn, not only the text.
    QSet<QRgb> colours;
    qint64 inked = 0, red = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) {
            const QRgb pixel = shot.pixel(x, y);
            colours.insert(pixel);
            inked += qGray(pixel) < 200 ? 1 : 0;
            red += pixel == qRgb(0xc0, 0x39, 0x2b) ? 1 : 0;
        }
    EXPECT_GT(colours.size(), 50);
    EXPECT_GT(inked, shot.width() * shot.height() / 4 / 100) << "less than 1 % ink";
    EXPECT_GT(red, 200);
}

TEST_F(ReportTest, PdfHoldsTheSameFigures) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        if (required())
            FAIL() << "pdftotext is required here: install the package poppler-utils";
        GTEST_SKIP() << "pdftotext is not installed: install the package poppler-utils";
    }
    const bool update = qEnvironmentVariableIntValue("POSFLASH_UPDATE_DOCS") == 1;
    const QString pdf = written(update ? QStringLiteral(POSFLASH_DOCS_DIR "/report.pdf")
                                       : QStringLiteral("report.pdf"));
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString said = QString::fromUtf8(text.readAllStandardOutput());
    // The headline figures in boxes, each under its own words.
    EXPECT_TRUE(said.contains(QRegularExpression(
        "First-pass yield\\s+Final yield\\s+Retries\\s+6\\s+6\\s+50.0 %\\s+50.0 %\\s+0\\s")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QRegularExpression("printer-silent\\s+2\\s+66.7 %\\s+66.7 %")));
    EXPECT_TRUE(said.contains(QRegularExpression("printer-refused\\s+1\\s+33.3 %\\s+100.0 %")));
    EXPECT_LT(said.indexOf("printer-silent  "), said.indexOf("printer-refused  "));
    for (const char* head : {"Failures", "Cumulative", "Retries"})
        EXPECT_TRUE(said.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(head))))
            << head << " whole";
}

TEST_F(ReportTest, BadRequestsAreSaidNotWritten) {
    // clang-format off
    const struct { QStringList args; int exitCode; const char* said; } cases[] = {
        {{"--format", "doc"}, 2, "--format is html, pdf or csv"},
        {{"--format", "pdf"}, 2, "a PDF report needs --out FILE"},
        {{"--sha256", "12ab"}, 2, "--sha256 is the image's SHA-256"},
        {{"--since", "yesterday"}, 2, "--since yesterday is not a local date"},
        {{"--out", "/nonexistent/dir/r.pdf"}, 1, "cannot write /nonexistent/dir/r.pdf"},
        {{"--central"}, 2, "--central needs --records URI"},
        {{"--out", "r.docx"}, 2, "--out r.docx: a report is html, pdf or csv"},
        {{"--station", "nosuch"}, 1, "no unit matches"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Finished r = report(c.args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
    }
}

TEST_F(ReportTest, CentralRecordsGiveTheSameFigures) {
    if (PgCluster::binaries().isEmpty()) {
        if (required())
            FAIL() << "PostgreSQL is required here: install the package postgresql";
        GTEST_SKIP() << "PostgreSQL is not installed: install the package postgresql";
    }
    PgCluster cluster;
    QString why;
    ASSERT_TRUE(cluster.create(why)) << why.toStdString();
    ASSERT_TRUE(cluster.startServer());
    cluster.admin("postgres", {"CREATE DATABASE line"});
    const QString uri = cluster.uri("admin", PgCluster::kAdminPassword, "line");
    for (const QStringList& step : {QStringList{"records", "init"}, {"records", "sync"}}) {
        const Finished r = runCli(home_->path(), step + QStringList{"--records", uri}, 60000);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    const QString image = cluster.column("line", "SELECT DISTINCT sha256 FROM posflash_records")[0];
    for (const QStringList& filter :
         {QStringList{}, {"--station", "line-1", "--sha256", image}, {"--operator", "Ann"}}) {
        SCOPED_TRACE(filter.join(' ').toStdString());
        const Finished local = report(filter);
        const Finished central = report(filter + QStringList{"--central", "--records", uri});
        ASSERT_EQ(central.exitCode, 0) << central.err.toStdString();
        EXPECT_EQ(figuresOnly(QString::fromUtf8(central.out)),
                  figuresOnly(QString::fromUtf8(local.out)));
        // The filters in words, the image named by its file as the local history names it.
        if (filter.size() > 2) {
            EXPECT_TRUE(
                central.out.contains("<dd>the line's records, station line-1, font font.bin ("))
                << central.out.toStdString();
        }
        EXPECT_EQ(
            report(filter + QStringList{"--format", "csv", "--central", "--records", uri}).out,
            report(filter + QStringList{"--format", "csv"}).out);
    }
    // Nothing selected is said, not drawn as a line at 0.0 %.
    const Finished none = report({"--operator", "Bo", "--central", "--records", uri});
    EXPECT_TRUE(none.exitCode == 1 && none.err.contains("no unit matches"))
        << none.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(report({"--central", "--records", uri}).out)
                    .contains("Final yield<b>50.0 %</b>"));
    // A forged row's control byte reaches no output raw, and its cause with a space stays one.
    cluster.admin("line",
                  {"INSERT INTO posflash_records (id, started_at, duration_ms, front_end, "
                   "file_path, kind, frames, retries, outcome, cause, station) VALUES "
                   "(gen_random_uuid(), now(), 5, 'cli', '\\x2f', 'program', 0, 0, 'failed', "
                   "'printer-silent x', E'line\\x01-9')"});
    const QString csv = QString::fromUtf8(
        report({"--format", "csv", "--central", "--records", uri, "--station", "line\x01-9"}).out);
    EXPECT_TRUE(csv.contains(QString::fromUtf8("line\u2401-9")) && !csv.contains(QChar(1)))
        << csv.toStdString();
    EXPECT_TRUE(csv.contains(QString::fromUtf8(",printer-silent\u2423x,printer-silent\u2423x,")))
        << csv.toStdString();
}

} // namespace
} // namespace posflash
