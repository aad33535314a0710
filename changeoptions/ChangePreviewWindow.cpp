#include "changeoptions/ChangePreviewWindow.h"

#include "ui/WindowSetup.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

ChangePreviewWindow::ChangePreviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ChangePreviewWindow"));
    setWindowTitle(QStringLiteral("Preview Change"));
    resize(620, 420);
    Text = new QPlainTextEdit(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setReadOnly(true);
    Text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addLayout(buttons);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    WindowSetup::closeOnEscape(this);
}

void ChangePreviewWindow::setText(const QString &text)
{
    Text->setPlainText(text);
}
