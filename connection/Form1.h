#pragma once

#include "connection/LoginFields.h"
#include "platform/SkinEngine.h"

#include <QCursor>
#include <QWidget>

#include <functional>

class ChangeOptionsSide;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login window: the login fields, "Test Connection", "Help" and "Next >".
// Its fields are the login fields every connection of the program reads, also
// while the window is hidden.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

    // The start-up sequence: skin, caption, icon, application title, the rare
    // home-page visit, hand cursor, restored fields and, when the stored fields
    // are complete and connect, "Next >" by itself.
    void Form_Load();

    LoginFields loginFields() const;
    // Reads this window's fields at the moment it is called.
    LoginFieldsSource loginFieldsSource() const;

    // How "Next >" reaches the change options window: the function creates and
    // loads it at its first use and gives the same window afterwards.
    void setChangeOptionsWindow(std::function<ChangeOptionsSide *()> window)
    {
        m_changeOptionsWindow = std::move(window);
    }
    // What closing the window calls to end the program (by default the event loop ends at once).
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }

    void PushButton3_Click(); // "Next >"
    void PushButton4_Click(); // "Help"
    void PushButton5_Click(); // "Test Connection"

    static const QString ConnectionSuccessful;
    static const QString CouldNotConnect;
    static const QString HelpQuestion;
    static const QString LocalConnectionPicture;

    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr; // "Server:"
    QLabel *Label9 = nullptr; // "Port:"
    QLabel *Label2 = nullptr; // "Username:"
    QLabel *Label3 = nullptr; // "Password:"
    QLabel *Label4 = nullptr; // "Database:"
    QLineEdit *Text1 = nullptr; // server
    QLineEdit *Text9 = nullptr; // port
    QLineEdit *Text2 = nullptr; // user name
    QLineEdit *Text3 = nullptr; // password, shown as "*"
    QLineEdit *Text4 = nullptr; // database
    QCheckBox *Check6 = nullptr; // "Local Connection"
    QPushButton *PushButton5 = nullptr; // "Test Connection"
    QPushButton *PushButton4 = nullptr; // "Help"
    QPushButton *PushButton3 = nullptr; // "Next >"

    // The skin engine lives on the login window; the load hands it the skin file.
    SkinEngine SkinFramework1;

    // The pointer the push buttons show: the hand cursor when "HAND-M.CUR" was
    // loaded, otherwise the ordinary arrow.
    QCursor buttonPointer() const { return m_buttonPointer; }

protected:
    void closeEvent(QCloseEvent *event) override; // ends the program
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void restoreFields();
    void connectSaving();
    void save(const QString &key, const QString &value);
    void setButtonPointer(const QCursor &pointer);

    std::function<ChangeOptionsSide *()> m_changeOptionsWindow;
    std::function<void()> m_endProgram;
    QCursor m_buttonPointer;
    bool m_restoring = false;
    bool m_nextRunning = false;
    bool m_toldSaveFailure = false;
};
