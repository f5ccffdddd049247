#pragma once

#include <QLabel>

namespace posflash {

// A tooltip is drawn as rich text when its text looks like markup: text from outside (a
// scanned label, a file name) is escaped so that it shows as it is.
QString PlainToolTip(const QString& text);

// A label whose font follows the room the layout gives it: as large as fits, up to its largest
// size, down to its smallest, so a verdict read from afar grows with its tile and never clips.
// Wrapped text breaks at spaces, and inside a word only when the word is longer than a line (a
// device path). A single line that does not fit even at the smallest size is elided, the whole
// text in its tooltip. Its text is always plain, never markup. Its size hint is small on purpose:
// the layout's stretch decides the room.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    FittingLabel(const QString& name, int largestPx, int smallestPx, bool bold, bool wrap,
                 QWidget* parent);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    // The pixel size the text has now, for tests and the pictures of the docs.
    int pixelSize() const { return font().pixelSize(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return false; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fits(int px) const;
    // The height of the wrapped text at font f in the given width.
    qreal wrappedHeight(const QFont& f, qreal width) const;
    void fit();

    QString full_;
    const int largest_;
    const int smallest_;
};

} // namespace posflash
