#include "login/ConnectionSecurityDialog.h"

#include "common/AppTitle.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setContentsMargins(20, 0, 0, 0);
    return label;
}

} // namespace

ConnectionSecurityDialog::ConnectionSecurityDialog(const ConnectionSecurity &security, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ConnectionSecurityDialog"));
    setWindowTitle(QStringLiteral("Encryption - ") + AppTitle::text());
    auto *layout = new QVBoxLayout(this);

    layout->addWidget(note(QStringLiteral("Unless one of these is ticked, only the login is encrypted, and only when "
                                          "the server offers it: the texts of the field travel in the clear."),
        this));

    encryptBox = new QCheckBox(QStringLiteral("Encrypt connection"), this);
    encryptBox->setObjectName(QStringLiteral("encryptBox"));
    encryptBox->setChecked(security.encrypt);
    layout->addWidget(encryptBox);
    layout->addWidget(note(QStringLiteral("The whole session is encrypted, and the server's certificate is checked: "
                                          "it must be signed by a trusted authority and issued for the server's "
                                          "name. The connection fails otherwise."),
        this));

    auto *authoritiesRow = new QHBoxLayout;
    authoritiesRow->setContentsMargins(20, 0, 0, 0);
    auto *authoritiesLabel = new QLabel(QStringLiteral("Trusted authorities file:"), this);
    authoritiesBox = new QLineEdit(QDir::toNativeSeparators(security.authoritiesFile), this);
    authoritiesBox->setObjectName(QStringLiteral("authoritiesBox"));
    authoritiesBox->setPlaceholderText(QStringLiteral("the authorities this computer trusts"));
    authoritiesLabel->setBuddy(authoritiesBox);
    browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    authoritiesRow->addWidget(authoritiesLabel);
    authoritiesRow->addWidget(authoritiesBox, 1);
    authoritiesRow->addWidget(browseButton);
    layout->addLayout(authoritiesRow);

    trustBox = new QCheckBox(QStringLiteral("Trust server certificate"), this);
    trustBox->setObjectName(QStringLiteral("trustBox"));
    trustBox->setChecked(security.trustServerCertificate);
    layout->addWidget(trustBox);
    layout->addWidget(note(QStringLiteral("The whole session is encrypted, and any certificate is taken."), this));
    trustWarning = note(QStringLiteral("This does not protect against a machine in the middle: it can read and "
                                       "change every text the program sends and receives."),
        this);
    trustWarning->setObjectName(QStringLiteral("trustWarning"));
    trustWarning->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    layout->addWidget(trustWarning);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &ConnectionSecurityDialog::browse);
    connect(encryptBox, &QCheckBox::toggled, this, &ConnectionSecurityDialog::showState);
    connect(trustBox, &QCheckBox::toggled, this, &ConnectionSecurityDialog::showState);
    setMinimumWidth(480);
    showState();
}

ConnectionSecurity ConnectionSecurityDialog::security() const
{
    ConnectionSecurity security;
    security.encrypt = encryptBox->isChecked();
    security.trustServerCertificate = trustBox->isChecked();
    security.authoritiesFile = QDir::fromNativeSeparators(authoritiesBox->text().trimmed());
    return security;
}

void ConnectionSecurityDialog::browse()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Trusted authorities file"),
        authoritiesBox->text(), QStringLiteral("Certificates (*.pem *.crt *.cer);;All files (*)"));
    if (!file.isEmpty())
        authoritiesBox->setText(QDir::toNativeSeparators(file));
}

// The authorities file matters only while the certificate is checked; the
// warning stands while it is not.
void ConnectionSecurityDialog::showState()
{
    const bool checks = encryptBox->isChecked() && !trustBox->isChecked();
    authoritiesBox->setEnabled(checks);
    browseButton->setEnabled(checks);
    trustWarning->setVisible(trustBox->isChecked());
}
