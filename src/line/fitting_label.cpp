#include "line/fitting_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace posflash {

QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped());
}

FittingLabel::FittingLabel(const QString& name, int largestPx, int smallestPx, bool bold, bool wrap,
                           QWidget* parent)
    : QLabel(parent), largest_(largestPx), smallest_(smallestPx) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setWordWrap(wrap);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QFont f = font();
    f.setPixelSize(largestPx);
    f.setBold(bold);
    setFont(f);
}

void FittingLabel::setFullText(const QString& text) {
    if (text == full_ && !text.isEmpty())
        return;
    full_ = text;
    setAccessibleDescription(text);
    setText(text);
    showWhole(true);
    fit();
}

void FittingLabel::setToolTipNote(const QString& note) {
    note_ = note;
    showWhole(text() == full_);
}

void FittingLabel::setSizedLike(const QStringList& texts) {
    alike_ = texts;
    fit();
}

void FittingLabel::setLargestPx(int px) {
    largest_ = std::max(px, smallest_);
    fit();
}

void FittingLabel::showWhole(bool whole) {
    setToolTip(PlainToolTip(whole ? note_ : note_.isEmpty() ? full_ : full_ + '\n' + note_));
}

QSize FittingLabel::sizeHint() const {
    QFont f = font();
    f.setPixelSize(smallest_);
    return {QFontMetrics(f).averageCharWidth() * 8, QFontMetrics(f).lineSpacing()};
}

QSize FittingLabel::minimumSizeHint() const {
    return sizeHint();
}

void FittingLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

namespace {

QTextOption wrapping(Qt::Alignment alignment) {
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

} // namespace

qreal FittingLabel::wrappedHeight(const QFont& f, const QString& text, qreal width) const {
    QTextLayout layout(text, f);
    layout.setTextOption(wrapping(alignment()));
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return height;
}

bool FittingLabel::fitsAt(const QFont& f, const QString& text) const {
    const QRect room = contentsRect();
    if (wordWrap())
        return wrappedHeight(f, text, room.width()) <= room.height();
    const QFontMetrics metrics(f);
    return metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height();
}

bool FittingLabel::fits(int px) const {
    QFont f = font();
    f.setPixelSize(px);
    return fitsAt(f, full_) && std::all_of(alike_.begin(), alike_.end(),
                                           [&](const QString& text) { return fitsAt(f, text); });
}

QString FittingLabel::elidedLines(const QFont& f) const {
    const QRectF room = contentsRect();
    QTextLayout layout(full_, f);
    layout.setTextOption(wrapping(alignment()));
    qreal height = 0;
    int lastStart = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room.width());
        if (height + line.height() > room.height())
            break;
        height += line.height();
        lastStart = line.textStart();
    }
    layout.endLayout();
    // The last line that fits takes the rest, elided at its end.
    QString rest = full_.mid(lastStart);
    rest.replace(QChar::LineSeparator, ' ').replace('\n', ' ');
    return full_.left(lastStart) +
           QFontMetrics(f).elidedText(rest, Qt::ElideRight, static_cast<int>(room.width()));
}

void FittingLabel::paintEvent(QPaintEvent* event) {
    if (!wordWrap()) {
        QLabel::paintEvent(event);
        return;
    }
    // QLabel wraps at spaces only; a path longer than the tile would run out of it.
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QRectF room = contentsRect();
    const qreal height = wrappedHeight(font(), text(), room.width());
    QRectF text = room;
    if (alignment() & Qt::AlignVCenter)
        text.setTop(room.top() + std::max<qreal>(0, (room.height() - height) / 2));
    painter.drawText(text, this->text(), wrapping(alignment()));
}

void FittingLabel::fit() {
    if (contentsRect().isEmpty())
        return;
    // The largest size that fits: the text's height grows with the size, so halve the range.
    int low = smallest_, high = largest_;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (fits(mid))
            low = mid;
        else
            high = mid - 1;
    }
    QFont f = font();
    if (f.pixelSize() != low) {
        f.setPixelSize(low);
        setFont(f);
    }
    QString shown = full_;
    if (!fitsAt(f, full_))
        shown = wordWrap()
                    ? elidedLines(f)
                    : QFontMetrics(f).elidedText(full_, Qt::ElideMiddle, contentsRect().width());
    if (text() != shown) {
        setText(shown);
        showWhole(shown == full_);
    }
}

} // namespace posflash
