#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// "Preview Change": what a run of the selected field would do, as a dry run
// tells it, in a window of its own that changes nothing.
class ChangePreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit ChangePreviewWindow(QWidget *parent = nullptr);

    void showText(const QString &text);

    QPlainTextEdit *Text = nullptr;
    QPushButton *CloseButton = nullptr;
};
