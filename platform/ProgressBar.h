#pragma once

#include <QWidget>

// A progress bar whose value runs from 0 to 100 with fractions kept, and which
// shows a text of its own (not a percentage) centred over the bar. It repaints
// only when what it draws changes: a run that sets a new value for every one
// of a million records repaints it once per pixel the bar grows, not once per record.
class ProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget *parent = nullptr);

    double value() const { return m_value; }
    void setValue(double value); // clamped to 0..100
    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The filled part's width in device pixels for a value: what the bar draws.
    int filledPixels(double value) const;

    double m_value = 0;
    QString m_text;
};
