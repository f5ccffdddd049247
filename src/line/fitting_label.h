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
// text in its tooltip; so are wrapped lines that do not fit at the smallest size, at their last
// line. The whole text is always its accessible description. Its text is always plain, never
// markup. Its size hint is small and never follows the text, so no text makes a window grow:
// the layout's stretch decides the room.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    FittingLabel(const QString& name, int largestPx, int smallestPx, bool bold, bool wrap,
                 QWidget* parent);

    void setFullText(const QString& text);
    // What the label stands for, as its tooltip; an elided text's tooltip adds the whole text.
    void setToolTipNote(const QString& note);
    // Texts shown in its place in other states: the font is the largest at which they fit as
    // well, so that one tile's verdicts, and those of tiles of one size, are of one size.
    void setSizedLike(const QStringList& texts);
    void setLargestPx(int px);
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
    // Whether the text and those it is sized like fit at px.
    bool fits(int px) const;
    bool fitsAt(const QFont& f, const QString& text) const;
    // The height of the wrapped text at font f in the given width.
    qreal wrappedHeight(const QFont& f, const QString& text, qreal width) const;
    // The lines that fit, the last one elided.
    QString elidedLines(const QFont& f) const;
    void fit();
    void showWhole(bool whole);

    QString full_;
    QString note_;
    QStringList alike_;
    int largest_;
    const int smallest_;
};

} // namespace posflash
