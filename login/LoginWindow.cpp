#include "login/LoginWindow.h"

#include "common/AppTitle.h"
#include "common/BuildConfig.h"
#include "common/ErrorReport.h"
#include "common/FailureTrap.h"
#include "common/Messages.h"
#include "common/ProgramEnd.h"
#include "common/ProgramFiles.h"
#include "common/Settings.h"
#include "connection/ConnectionCheck.h"
#include "connection/OpeningProfile.h"
#include "connection/RememberedLogin.h"
#include "login/ChangeOptionsSide.h"
#include "login/ConnectionSecurityDialog.h"
#include "login/HomePageVisit.h"
#include "platform/BusyPointer.h"
#include "platform/HandCursor.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "platform/odbc/Connection.h"
#include "ui/AppIcon.h"
#include "ui/Skin.h"
#include "ui/WindowDesign.h"
#include "ui/WindowSetup.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

const QString LoginWindow::ConnectionSuccessful = QStringLiteral("Connection successful.");
const QString LoginWindow::CouldNotConnect = QStringLiteral("Could not connect. Please check with your administrator.");
const QString LoginWindow::HelpQuestion = QStringLiteral("Would you like to see an image of how I connect locally?");
const QString LoginWindow::LocalConnectionPicture = QStringLiteral("local-connection-example.jpg");

namespace {

const QString HandCursorFile = QStringLiteral("HAND-M.CUR");
const char *const SelectOnRelease = "vantrellSelectOnRelease";

using WindowDesign::twips;

QLabel *makeLabel(QWidget *frame, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, frame);
    label->setGeometry(geometry);
    return label;
}

QLineEdit *makeBox(QWidget *frame, const QString &name, const QRect &geometry)
{
    auto *box = new QLineEdit(frame);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFont(WindowDesign::buttonFont());
    button->setAutoDefault(false);
    WindowSetup::clickOnEnter(button);
    return button;
}

} // namespace

LoginWindow::LoginWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_endProgram([] { ProgramEnd::request(); })
{
    setObjectName(QStringLiteral("LoginWindow"));
    WindowSetup::makeFixedWindow(this, WindowDesign::pixels(8040), WindowDesign::pixels(3975));
    buildControls();
    connectSaving();
    WindowSetup::centreOnScreen(this);
}

void LoginWindow::buildControls()
{
    loginFrame = new QGroupBox(QStringLiteral("MS SQL Server Login"), this);
    loginFrame->setObjectName(QStringLiteral("loginFrame"));
    loginFrame->setGeometry(twips(120, 120, 7800, 3195));

    serverLabel = makeLabel(loginFrame, QStringLiteral("Server:"), twips(240, 405, 1095, 255));
    serverBox = makeBox(loginFrame, QStringLiteral("serverBox"), twips(1320, 360, 4575, 345));
    portLabel = makeLabel(loginFrame, QStringLiteral("Port:"), twips(6120, 405, 495, 255));
    portBox = makeBox(loginFrame, QStringLiteral("portBox"), twips(6600, 360, 975, 345));
    userLabel = makeLabel(loginFrame, QStringLiteral("Username:"), twips(240, 885, 1095, 255));
    userBox = makeBox(loginFrame, QStringLiteral("userBox"), twips(1320, 840, 6255, 345));
    passwordLabel = makeLabel(loginFrame, QStringLiteral("Password:"), twips(240, 1365, 1095, 255));
    passwordBox = makeBox(loginFrame, QStringLiteral("passwordBox"), twips(1320, 1320, 6255, 345));
    databaseLabel = makeLabel(loginFrame, QStringLiteral("Database:"), twips(240, 1845, 975, 255));
    databaseBox = makeBox(loginFrame, QStringLiteral("databaseBox"), twips(1320, 1800, 6255, 345));

    // Every character of the password shows as "*", whatever the desktop's own
    // mask character is.
    passwordBox->setEchoMode(QLineEdit::Password);
    passwordBox->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }"));

    localConnectionBox = new QCheckBox(QStringLiteral("Local Connection"), loginFrame);
    localConnectionBox->setObjectName(QStringLiteral("localConnectionBox"));
    localConnectionBox->setGeometry(twips(1320, 2250, 1950, 255));

    testConnectionButton = makeButton(loginFrame, QStringLiteral("testConnectionButton"),
        QStringLiteral("Test Connection"), twips(240, 2610, 3600, 405));
    helpButton
        = makeButton(loginFrame, QStringLiteral("helpButton"), QStringLiteral("Help"), twips(3960, 2610, 3600, 405));
    nextButton = makeButton(this, QStringLiteral("nextButton"), QStringLiteral("Next >"), twips(120, 3450, 7800, 405));

    // Focus order: the five boxes, the two frame buttons, "Next >", then the check box.
    const QList<QWidget *> order { serverBox, portBox, userBox, passwordBox, databaseBox, testConnectionButton,
        helpButton, nextButton, localConnectionBox };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QLineEdit *box : { serverBox, portBox, userBox, passwordBox, databaseBox })
        box->installEventFilter(this);

    connect(nextButton, &QPushButton::clicked, this, &LoginWindow::next);
    connect(helpButton, &QPushButton::clicked, this, &LoginWindow::help);
    connect(testConnectionButton, &QPushButton::clicked, this, &LoginWindow::testConnection);
    setButtonPointer(QCursor(Qt::ArrowCursor));

    // The encryption choices stay outside the login frame's own controls.
    encryptionAction = new QAction(QStringLiteral("Encryption..."), this);
    encryptionAction->setObjectName(QStringLiteral("encryptionAction"));
    encryptionAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    encryptionAction->setShortcutContext(Qt::WindowShortcut);
    encryptionAction->setToolTip(QStringLiteral("Whether connections are encrypted, and how the server's "
                                                "certificate is checked"));
    connect(encryptionAction, &QAction::triggered, this, &LoginWindow::chooseEncryption);
    for (QWidget *surface : std::initializer_list<QWidget *> { this, loginFrame }) {
        surface->addAction(encryptionAction);
        surface->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

void LoginWindow::chooseEncryption()
{
    if (auto *open = findChild<ConnectionSecurityDialog *>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto *dialog = new ConnectionSecurityDialog(m_security, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_security = dialog->security();
        const auto ticked = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
        save(Settings::EncryptConnection, ticked(m_security.encrypt));
        save(Settings::TrustServerCertificate, ticked(m_security.trustServerCertificate));
        save(Settings::TrustedAuthorities, m_security.authoritiesFile);
    });
    dialog->open();
}

void LoginWindow::connectSaving()
{
    const QList<std::pair<QLineEdit *, QString>> keys { { serverBox, Settings::MSServer },
        { userBox, Settings::MSUser }, { passwordBox, Settings::MSPassword }, { databaseBox, Settings::MSDatabase },
        { portBox, Settings::MSPort } };
    for (const auto &[box, key] : keys)
        connect(box, &QLineEdit::textChanged, this, [this, key = key](const QString &text) { save(key, text); });
    connect(localConnectionBox, &QCheckBox::toggled, this,
        [this](bool ticked) { save(Settings::LocalConnection, ticked ? QStringLiteral("1") : QStringLiteral("0")); });
}

void LoginWindow::save(const QString &key, const QString &value)
{
    if (m_restoring)
        return;
    try {
        Settings::write(key, value);
    } catch (const std::exception &e) {
        // Said once per run: a box on every keystroke would make typing impossible.
        if (m_toldSaveFailure)
            return;
        m_toldSaveFailure = true;
        Messages::show(this, describeFailure(e));
    }
}

void LoginWindow::setButtonPointer(const QCursor &pointer)
{
    m_buttonPointer = pointer;
    for (QPushButton *button : { nextButton, helpButton, testConnectionButton })
        button->setCursor(pointer);
}

LoginFields LoginWindow::loginFields() const
{
    LoginFields fields;
    fields.server = serverBox->text();
    fields.port = portBox->text();
    fields.user = userBox->text();
    fields.password = passwordBox->text();
    fields.database = databaseBox->text();
    fields.localConnection = localConnectionBox->isChecked();
    fields.security = m_security;
    return fields;
}

LoginFieldsSource LoginWindow::loginFieldsSource() const
{
    return [this] { return loginFields(); };
}

void LoginWindow::load()
{
    FailureTrap trap(ErrorReport::LoginWindowLoad, this);
    trap.step(100, [&] { Skin::applySkin(this, skinEngine); });
    trap.step(104, [&] { setWindowTitle(QString::fromUtf8(BuildConfig::ProductTitle)); });
    trap.step(104, [&] { setWindowIcon(AppIcon::icon()); });
    trap.step(104, [&] { AppTitle::set(); });
    trap.step(106, [&] { HomePageVisit::run(); });
    const QString handCursorPath = ProgramFiles::besideProgram(HandCursorFile);
    if (trap.test(124, [&] { return ProgramFiles::fileExists(handCursorPath); }))
        trap.step(126, [&] { setButtonPointer(HandCursor::load(handCursorPath)); });

    m_restoring = true;
    LoginFields stored;
    trap.step(128, [&] {
        stored = RememberedLogin::read();
        serverBox->setText(stored.server);
    });
    trap.step(130, [&] { userBox->setText(stored.user); });
    trap.step(132, [&] { passwordBox->setText(stored.password); });
    trap.step(134, [&] { databaseBox->setText(stored.database); });
    trap.step(136, [&] { portBox->setText(stored.port); });
    trap.step(138, [&] { localConnectionBox->setChecked(stored.localConnection); });
    m_security = stored.security;
    m_restoring = false;

    // The port is not looked at: a local connection does not use it.
    if (trap.test(140, [&] {
            return !serverBox->text().isEmpty() && !userBox->text().isEmpty() && !passwordBox->text().isEmpty()
                && !databaseBox->text().isEmpty();
        })) {
        if (trap.test(142, [&] { return ConnectionCheck::canConnect(loginFields()); }))
            trap.step(144, [&] { next(); });
    }
}

void LoginWindow::testConnection()
{
    std::unique_ptr<odbc::Connection> connection;
    {
        // Only creating the connection object reports; every later failure is a failed test.
        FailureTrap trap(ErrorReport::LoginTestConnection, this);
        trap.step(100, [&] { connection = std::make_unique<odbc::Connection>(); });
    }
    BusyPointer::show();
    bool opened = false;
    QString reason;
    if (connection) {
        try {
            openWithProfile(*connection, OpeningProfile::TestConnection, loginFields());
            opened = true;
        } catch (const std::exception &e) {
            // The message keeps its text; the driver's says why, behind "Show Details...".
            reason = describeFailure(e);
        }
    }
    // The attempt is over: the answer waits for the user under the normal pointer.
    BusyPointer::reset();
    Messages::show(this, opened ? ConnectionSuccessful : CouldNotConnect, reason);
}

void LoginWindow::help()
{
    FailureTrap trap(ErrorReport::LoginHelp, this);
    const QString paragraph = QStringLiteral("\r\r");
    QString text;
    trap.step(100, [&] {
        text = QStringLiteral("If you cannot establish connection to your MS SQL Server database with this program, "
                              "please go to: ");
    });
    trap.step(102, [&] { text += paragraph; });
    trap.step(104, [&] { text += QString::fromUtf8(BuildConfig::ToolDownloadPage); });
    trap.step(106, [&] { text += paragraph; });
    trap.step(108, [&] {
        text += QStringLiteral("Download and install the EMS SQL Manager 2005 Lite for SQL Server. Try to connect to ")
            + QStringLiteral("the same database (with the same login information you are using here). This will "
                             "determine if ")
            + QStringLiteral("the login you are using is correct.");
    });
    trap.step(110, [&] {
        text += paragraph
            + QStringLiteral("If you are using Microsoft SQL Server Express Edition and connecting locally, you may "
                             "need to use")
            + paragraph;
    });
    trap.step(112, [&] {
        text += QStringLiteral("localhost\\SQLEXPRESS") + paragraph + QStringLiteral("for example, for Server.");
    });
    trap.step(114, [&] { Messages::show(this, text); });
    if (trap.test(116, [&] { return MessageBoxes::instance().ask(this, HelpQuestion, AppTitle::text()); }))
        trap.step(118, [&] {
            const QString picture = ProgramFiles::besideProgram(LocalConnectionPicture);
            try {
                Shell::instance().open(picture);
            } catch (const Failure &e) {
                // No program to open it with: a plain word, not an error report.
                Messages::show(this,
                    QStringLiteral("The picture could not be shown: no program to open it was found on this "
                                   "computer. It is the file %1.")
                        .arg(QDir::toNativeSeparators(picture)),
                    e.description());
            }
        });
}

void LoginWindow::next()
{
    // The table listing yields to the window system; a second press meanwhile
    // would fill the same list twice over.
    if (m_nextRunning)
        return;
    const QScopedValueRollback running(m_nextRunning, true);
    FailureTrap trap(ErrorReport::LoginNext, this);
    if (trap.test(100, [&] { return serverBox->text().isEmpty(); }))
        return;
    ChangeOptionsSide *next = nullptr;
    {
        // The checks and the table listing can wait for the driver's timeout.
        BusyPointer::Scope busy;
        if (trap.test(102, [&] { return !ConnectionCheck::canConnect(loginFields()); }))
            return;
        const int failuresBefore = trap.failures();
        trap.step(104, [&] {
            if (!m_changeOptionsWindow)
                throw Failure(QStringLiteral("The change options window is not available."));
            next = m_changeOptionsWindow();
            if (!next)
                throw Failure(QStringLiteral("The change options window is not available."));
            next->listTables(loginFields());
        });
        // The lists may still hold the tables, fields and values of the database
        // used before; none of them may be offered for this one. The fields and
        // values go whenever the tables are listed again (a database without
        // tables fills no fields), the tables too when the listing failed.
        if (next)
            next->emptyLists(trap.failures() > failuresBefore);
    }
    // Once the program is ending nothing more is filled or shown.
    if (!next || ProgramEnd::requested())
        return;
    if (trap.test(106, [&] { return next->hasTables(); }))
        trap.step(106, [&] { next->fillFields(); });
    if (ProgramEnd::requested())
        return;
    trap.step(108, [&] { next->showWindow(); });
    trap.step(110, [&] { hide(); });
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Everything was saved as it changed; the hidden window goes with this one.
    if (m_endProgram)
        m_endProgram();
}

bool LoginWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn: {
        // A click places the cursor after the box got the focus, so the whole
        // text is selected once the click has been handled, and again when the
        // button is released.
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
        box->setProperty(SelectOnRelease, static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason);
        break;
    }
    case QEvent::MouseButtonRelease:
        if (box->property(SelectOnRelease).toBool()) {
            box->setProperty(SelectOnRelease, false);
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
        break;
    case QEvent::FocusOut:
        box->setProperty(SelectOnRelease, false);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
