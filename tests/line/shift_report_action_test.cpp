// The production window's shift report: one shift's units, as HTML and PDF, in the folder given.
#include "history/history_store.h"
#include "line/shift_report_action.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTranslator>

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(ShiftReportAction, WritesTheShiftsUnitsOnlyAsHtmlAndPdf) {
    QTemporaryDir dir;
    const QString history = dir.filePath("history.db");
    const QString shift = "5e0b7c1d-2a3f-4b6c-8d9e-0f1a2b3c4d5e";
    {
        HistoryStore store(history);
        for (const auto& [ofShift, outcome] :
             {std::pair{shift, "completed"}, std::pair{shift, "failed"},
              std::pair{QString(), "failed"}}) {
            HistoryRecord r;
            r.startedAt = QDateTime(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc());
            r.frontEnd = "line";
            r.filePath = "/fw/app.bin";
            r.kind = "program";
            r.outcome = outcome;
            r.cause = r.outcome == "failed" ? "printer-silent" : "";
            r.shift = ofShift;
            r.operatorName = "Li Wei";
            ASSERT_EQ(store.add(r).place, HistoryWrite::Place::Database);
        }
    }
    const QString folder = dir.filePath("reports/of the line");
    const Result<QStringList> files = WriteShiftReports(history, shift, folder, QDateTime(), true);
    ASSERT_TRUE(files) << files.error().text.toStdString();
    ASSERT_EQ(files->size(), 2);
    EXPECT_TRUE(files->at(0).startsWith(folder + "/shift-report-") &&
                files->at(0).endsWith(".html"));
    QFile html(files->at(0));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QByteArray text = html.readAll();
    EXPECT_TRUE(text.contains("Units<b>2</b>")) << "the other shift's unit is left out";
    EXPECT_TRUE(text.contains("Final yield<b>50.0 %</b>"));
    const QDateTime start(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc());
    EXPECT_TRUE(text.contains(QStringLiteral("<dd>shift %1, Li Wei</dd>")
                                  .arg(start.toLocalTime().toString("yyyy-MM-dd HH:mm"))
                                  .toUtf8()))
        << "the shift by its start and operator, not its id";
    QFile pdf(files->at(1));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    const Result<QStringList> refused =
        WriteShiftReports(history, shift, "/proc/no-reports-here", QDateTime(), true);
    EXPECT_FALSE(refused);

    // The message speaks the window's language in its buttons too, and Close is its default.
    QTranslator chinese;
    ASSERT_TRUE(chinese.load(":/i18n/posflash_zh_CN.qm"));
    QCoreApplication::installTranslator(&chinese);
    const std::unique_ptr<QMessageBox> box = ShiftReportMessage(nullptr, folder, *files);
    QCoreApplication::removeTranslator(&chinese);
    QStringList buttons;
    for (const QAbstractButton* button : box->buttons())
        buttons << button->text();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"关闭", "打开文件夹"}));
    ASSERT_TRUE(box->defaultButton());
    EXPECT_EQ(box->defaultButton()->text(), "关闭");
    EXPECT_EQ(box->text().count(folder), 1);
}

} // namespace
} // namespace posflash
