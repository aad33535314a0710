#pragma once

#include "connection/ConnectionSecurity.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Encryption" from the login window: whether connections are encrypted, and
// how the server's certificate is checked.
class ConnectionSecurityDialog : public QDialog {
    Q_OBJECT

public:
    explicit ConnectionSecurityDialog(const ConnectionSecurity &security, QWidget *parent = nullptr);

    // The choices as the dialog shows them now.
    ConnectionSecurity security() const;

    QCheckBox *encryptBox = nullptr; // "Encrypt connection"
    QLineEdit *authoritiesBox = nullptr; // the trusted authorities file; empty for the system's
    QPushButton *browseButton = nullptr;
    QCheckBox *trustBox = nullptr; // "Trust server certificate"
    QLabel *trustWarning = nullptr; // shown while "Trust server certificate" is ticked
    QPushButton *okButton = nullptr;

private:
    void browse();
    void showState();
};
