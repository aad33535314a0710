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

    // The preview's text: the counts a run would report and its first changes.
    void setText(const QString &text);

    QPlainTextEdit *Text = nullptr;
    QPushButton *CloseButton = nullptr;
};
