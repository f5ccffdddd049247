#include "cli/terminal_panel.h"

#include "cli/terminal_output.h"

namespace posflash {

TerminalPanel::TerminalPanel(TerminalOutput& out, TerminalOutput& err, QString programFile,
                             QString fontFile, bool interactive)
    : out_(out), err_(err), programFile_(std::move(programFile)), fontFile_(std::move(fontFile)),
      interactive_(interactive) {}

void TerminalPanel::endRewrittenLine() {
    if (lineOpen_) {
        out_.write(QStringLiteral("\n"));
        lineOpen_ = false;
    }
}

void TerminalPanel::setProgressValue(int value) {
    if (value == 0 && progress_ != 0)
        progressMax_ = 0; // the download ended: later texts are plain lines again
    progress_ = value;
}

void TerminalPanel::setStatusLabel(const QString& text) {
    if (text == label_)
        return;
    label_ = text;
    const bool perFrame = progressMax_ > 0 && progress_ < progressMax_;
    if (perFrame && interactive_) {
        out_.write(QStringLiteral("\r\033[K") + text);
        lineOpen_ = true;
        return;
    }
    if (perFrame) {
        // Off a terminal, one line per tenth of the image is progress enough.
        const int tenth = progress_ * 10 / progressMax_;
        if (tenth == lastPrintedTenth_ && progress_ != 1 && progress_ != progressMax_)
            return;
        lastPrintedTenth_ = tenth;
    }
    endRewrittenLine();
    out_.write(text + QLatin1Char('\n'));
}

void TerminalPanel::setStatusPanel(const QString& text) {
    if (text.trimmed().isEmpty())
        return;
    endRewrittenLine();
    out_.write(QLatin1Char('[') + text.trimmed() + QStringLiteral("]\n"));
}

void TerminalPanel::showTipsBox(const QString& prompt, int) {
    endRewrittenLine();
    err_.write(QStringLiteral("Tips: ") + prompt + QLatin1Char('\n'));
}

} // namespace posflash
