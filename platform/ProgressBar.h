#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

// A progress bar whose value runs from 0 to 100 with fractions kept, and which
// shows a text of its own (not a percentage) centred over the bar. It repaints
// only when what it draws changes, and no more often than a screen shows a
// new frame: a run that sets a new value for every one of a million records
// repaints it at most once per pixel the bar grows and once per frame, not
// once per record. (Each repaint of a window on X11 waits for the X server.)
class ProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget *parent = nullptr);

    // The shortest time between two repaints for a new value.
    static constexpr int FrameMilliseconds = 16;

    double value() const { return m_value; }
    void setValue(double value); // clamped to 0..100
    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The filled part's width in device pixels for a value: what the bar draws.
    int filledPixels(double value) const;
    // The empty bar, drawn once for its size, scale and palette: its rounded
    // frame costs the most to draw.
    const QPixmap &emptyBar();
    void repaintSoon();

    double m_value = 0;
    int m_pixels = 0; // filledPixels(m_value)
    QString m_text;
    QPixmap m_empty;
    qint64 m_emptyPalette = 0;
    QElapsedTimer m_sincePainted;
    QTimer m_nextFrame;
};
