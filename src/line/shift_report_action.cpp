#include "line/shift_report_action.h"

#include "base/faces.h"
#include "history/history_store.h"
#include "report/report_texts.h"
#include "report/shift_report.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace posflash {

Result<QStringList> WriteShiftReports(const QString& historyPath, const QString& shift,
                                      const QString& folder, const QDateTime& shiftStart,
                                      bool english) {
    HistoryFilter filter;
    filter.shift = shift;
    HistoryStore store(historyPath);
    Result<std::vector<HistoryRecord>> found = store.find(filter);
    if (!found)
        return found.error();
    if (!QDir().mkpath(folder))
        return Error{0, QStringLiteral("cannot make the folder %1").arg(folder)};
    Faces faces;
    faces.setUseEnglish(english);
    const ReportTexts texts(faces);
    const ReportSource source{historyPath, filter, false, QDateTime::currentDateTime()};
    const std::vector<ReportUnit> units = UnitsOf(*found);
    const QString stem = QDir(folder).filePath(
        QStringLiteral("shift-report-%1-%2")
            .arg(shiftStart.toString(QStringLiteral("yyyyMMdd-HHmm")), shift.left(8)));
    QStringList written;
    for (const auto& [format, ending] :
         {std::pair{ReportFormat::Html, ".html"}, std::pair{ReportFormat::Pdf, ".pdf"}}) {
        const QString path = stem + QLatin1String(ending);
        if (const Status done = WriteShiftReport(units, format, path, source, texts); !done)
            return done.error();
        written << path;
    }
    return written;
}

std::unique_ptr<QMessageBox> ShiftReportMessage(QWidget* parent, const QString& folder,
                                                const QStringList& files) {
    // The folder once, then the files' names: their paths would say it again each time.
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Information, QStringLiteral("posflash"),
        QApplication::translate("LineHost", "The shift report is in %1:\n%2")
            .arg(folder, names.join('\n')),
        QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    // Buttons of our own words: Qt's standard ones would speak whatever Qt's translation says.
    QPushButton* open =
        box->addButton(QApplication::translate("LineHost", "Open folder"), QMessageBox::ActionRole);
    QPushButton* close =
        box->addButton(QApplication::translate("LineHost", "Close"), QMessageBox::RejectRole);
    box->setDefaultButton(close);
    box->setEscapeButton(close);
    QObject::connect(open, &QPushButton::clicked,
                     [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    return box;
}

} // namespace posflash
