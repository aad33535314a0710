#pragma once

#include <QWidget>

// A progress bar whose value runs from 0 to 100 with fractions kept, and which
// shows a text of its own (not a percentage) centred over the bar.
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
    double m_value = 0;
    QString m_text;
};
