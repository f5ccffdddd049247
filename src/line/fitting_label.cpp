#include "line/fitting_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>

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
    setToolTip({});
    setText(text);
    fit();
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

qreal FittingLabel::wrappedHeight(const QFont& f, qreal width) const {
    QTextLayout layout(full_, f);
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

bool FittingLabel::fits(int px) const {
    QFont f = font();
    f.setPixelSize(px);
    const QRect room = contentsRect();
    if (!wordWrap()) {
        const QFontMetrics metrics(f);
        return metrics.horizontalAdvance(full_) <= room.width() &&
               metrics.height() <= room.height();
    }
    return wrappedHeight(f, room.width()) <= room.height();
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
    const qreal height = wrappedHeight(font(), room.width());
    QRectF text = room;
    if (alignment() & Qt::AlignVCenter)
        text.setTop(room.top() + std::max<qreal>(0, (room.height() - height) / 2));
    painter.drawText(text, full_, wrapping(alignment()));
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
    if (!wordWrap() && !fits(low)) {
        setText(QFontMetrics(f).elidedText(full_, Qt::ElideMiddle, contentsRect().width()));
        setToolTip(PlainToolTip(full_));
    } else if (text() != full_) {
        setText(full_);
        setToolTip({});
    }
}

} // namespace posflash
