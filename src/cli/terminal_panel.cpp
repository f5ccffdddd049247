#include "cli/terminal_panel.h"

#include <cstdio>

namespace posflash {

TerminalPanel::TerminalPanel(QString programFile, QString fontFile, bool interactive)
    : out_(stdout), err_(stderr), programFile_(std::move(programFile)),
      fontFile_(std::move(fontFile)), interactive_(interactive) {}

void TerminalPanel::endRewrittenLine() {
    if (lineOpen_) {
        out_ << "\n";
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
        out_ << "\r\033[K" << text << Qt::flush;
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
    out_ << text << Qt::endl;
}

void TerminalPanel::setStatusPanel(const QString& text) {
    if (text.trimmed().isEmpty())
        return;
    endRewrittenLine();
    out_ << "[" << text.trimmed() << "]" << Qt::endl;
}

void TerminalPanel::showTipsBox(const QString& prompt, int) {
    endRewrittenLine();
    err_ << "Tips: " << prompt << Qt::endl;
}

} // namespace posflash
