#pragma once

#include "connection/LoginFields.h"
#include "platform/SkinEngine.h"

#include <QCursor>
#include <QWidget>

#include <functional>

class ChangeOptionsSide;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login window: the login fields, "Test Connection", "Help" and "Next >".
// Its fields are the login fields every connection of the program reads, also
// while the window is hidden.
class LoginWindow : public QWidget {
    Q_OBJECT

public:
    explicit LoginWindow(QWidget *parent = nullptr);

    // The start-up sequence: skin, caption, icon, application title, the rare
    // home-page visit, hand cursor, restored fields and, when the stored fields
    // are complete and connect, "Next >" by itself.
    void load();

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

    void next(); // "Next >"
    void help(); // "Help"
    void testConnection(); // "Test Connection"
    // "Encryption...": opens the dialog of the connections' encryption choices
    // over the window; what it takes is remembered at once.
    void chooseEncryption();

    static const QString ConnectionSuccessful;
    static const QString CouldNotConnect;
    static const QString HelpQuestion;
    static const QString LocalConnectionPicture;

    QGroupBox *loginFrame = nullptr;
    QLabel *serverLabel = nullptr; // "Server:"
    QLabel *portLabel = nullptr; // "Port:"
    QLabel *userLabel = nullptr; // "Username:"
    QLabel *passwordLabel = nullptr; // "Password:"
    QLabel *databaseLabel = nullptr; // "Database:"
    QLineEdit *serverBox = nullptr; // server
    QLineEdit *portBox = nullptr; // port
    QLineEdit *userBox = nullptr; // user name
    QLineEdit *passwordBox = nullptr; // password, shown as "*"
    QLineEdit *databaseBox = nullptr; // database
    QCheckBox *localConnectionBox = nullptr; // "Local Connection"
    QPushButton *testConnectionButton = nullptr; // "Test Connection"
    QPushButton *helpButton = nullptr; // "Help"
    QPushButton *nextButton = nullptr; // "Next >"
    // "Encryption..." (Ctrl+E), in the context menu of the window and its frame.
    QAction *encryptionAction = nullptr;

    // The skin engine lives on the login window; the load hands it the skin file.
    SkinEngine skinEngine;

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
    ConnectionSecurity m_security; // the encryption choices every connection uses
    bool m_restoring = false;
    bool m_nextRunning = false;
    bool m_toldSaveFailure = false;
};
