#pragma once

#include "connection/LoginFields.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QPushButton;
class QTreeWidget;
class ProgressBar;

// The change options window: the table list, the field list and the preview,
// the mode box, "Start Changing", "Switch SQL Server Database" and the progress bar.
class Form2 : public QWidget {
    Q_OBJECT

public:
    // Builds the controls; the window flow then runs Form_Load() once.
    explicit Form2(LoginFieldsSource loginFields, QWidget *parent = nullptr);

    void Form_Load();

    void ListView1_Click(); // field-list fill, then the preview fill
    void ListView2_Click(); // preview fill
    void Combo1_Click();    // remembers the chosen mode
    void PushButton1_Click(); // "Start Changing"
    void PushButton5_Click(); // "Switch SQL Server Database"

    // What "Switch SQL Server Database" calls to show the login window.
    void setShowLoginWindow(std::function<void()> show) { m_showLoginWindow = std::move(show); }

    QTreeWidget *ListView1 = nullptr; // table list
    QTreeWidget *ListView2 = nullptr; // field list
    QTreeWidget *ListView3 = nullptr; // preview list
    QGroupBox *Frame1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton5 = nullptr;
    ProgressBar *ProgressBar1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override; // ends the program

private:
    LoginFieldsSource m_loginFields;
    std::function<void()> m_showLoginWindow;
};
