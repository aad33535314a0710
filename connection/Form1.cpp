#include "connection/Form1.h"

#include "app/AppIcon.h"
#include "app/BuildConfig.h"
#include "app/ErrorReport.h"
#include "app/FailureTrap.h"
#include "app/HomePageVisit.h"
#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"
#include "app/Settings.h"
#include "app/Skin.h"
#include "app/WindowDesign.h"
#include "connection/ChangeOptionsSide.h"
#include "connection/MSSQL.h"
#include "connection/OpeningProfile.h"
#include "platform/BusyPointer.h"
#include "platform/HandCursor.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "platform/odbc/Connection.h"

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

const QString Form1::ConnectionSuccessful = QStringLiteral("Connection successful.");
const QString Form1::CouldNotConnect = QStringLiteral("Could not connect. Please check with your administrator.");
const QString Form1::HelpQuestion = QStringLiteral("Would you like to see an image of how I connect locally?");
const QString Form1::LocalConnectionPicture = QStringLiteral("local-connection-example.jpg");

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
    Main::clickOnEnter(button);
    return button;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_endProgram([] { ProgramEnd::request(); })
{
    setObjectName(QStringLiteral("Form1"));
    // A fixed-size window: close and minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(WindowDesign::pixels(8040), WindowDesign::pixels(3975));
    setFont(WindowDesign::textFont());
    buildControls();
    connectSaving();
    Main::centreOnScreen(this);
}

void Form1::buildControls()
{
    Frame1 = new QGroupBox(QStringLiteral("MS SQL Server Login"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(120, 120, 7800, 3195));

    Label1 = makeLabel(Frame1, QStringLiteral("Server:"), twips(240, 405, 1095, 255));
    Text1 = makeBox(Frame1, QStringLiteral("Text1"), twips(1320, 360, 4575, 345));
    Label9 = makeLabel(Frame1, QStringLiteral("Port:"), twips(6120, 405, 495, 255));
    Text9 = makeBox(Frame1, QStringLiteral("Text9"), twips(6600, 360, 975, 345));
    Label2 = makeLabel(Frame1, QStringLiteral("Username:"), twips(240, 885, 1095, 255));
    Text2 = makeBox(Frame1, QStringLiteral("Text2"), twips(1320, 840, 6255, 345));
    Label3 = makeLabel(Frame1, QStringLiteral("Password:"), twips(240, 1365, 1095, 255));
    Text3 = makeBox(Frame1, QStringLiteral("Text3"), twips(1320, 1320, 6255, 345));
    Label4 = makeLabel(Frame1, QStringLiteral("Database:"), twips(240, 1845, 975, 255));
    Text4 = makeBox(Frame1, QStringLiteral("Text4"), twips(1320, 1800, 6255, 345));

    // Every character of the password shows as "*", whatever the desktop's own
    // mask character is.
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }"));

    Check6 = new QCheckBox(QStringLiteral("Local Connection"), Frame1);
    Check6->setObjectName(QStringLiteral("Check6"));
    Check6->setGeometry(twips(1320, 2250, 1950, 255));

    PushButton5 = makeButton(
        Frame1, QStringLiteral("PushButton5"), QStringLiteral("Test Connection"), twips(240, 2610, 3600, 405));
    PushButton4
        = makeButton(Frame1, QStringLiteral("PushButton4"), QStringLiteral("Help"), twips(3960, 2610, 3600, 405));
    PushButton3
        = makeButton(this, QStringLiteral("PushButton3"), QStringLiteral("Next >"), twips(120, 3450, 7800, 405));

    // Focus order: the five boxes, the two frame buttons, "Next >", then the check box.
    const QList<QWidget *> order { Text1, Text9, Text2, Text3, Text4, PushButton5, PushButton4, PushButton3, Check6 };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QLineEdit *box : { Text1, Text9, Text2, Text3, Text4 })
        box->installEventFilter(this);

    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    setButtonPointer(QCursor(Qt::ArrowCursor));
}

void Form1::connectSaving()
{
    const QList<std::pair<QLineEdit *, QString>> keys { { Text1, Settings::MSServer }, { Text2, Settings::MSUser },
        { Text3, Settings::MSPassword }, { Text4, Settings::MSDatabase }, { Text9, Settings::MSPort } };
    for (const auto &[box, key] : keys)
        connect(box, &QLineEdit::textChanged, this, [this, key = key](const QString &text) { save(key, text); });
    connect(Check6, &QCheckBox::toggled, this,
        [this](bool ticked) { save(Settings::LocalConnection, ticked ? QStringLiteral("1") : QStringLiteral("0")); });
}

void Form1::save(const QString &key, const QString &value)
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
        Main::showMessage(this, describeFailure(e));
    }
}

void Form1::setButtonPointer(const QCursor &pointer)
{
    m_buttonPointer = pointer;
    for (QPushButton *button : { PushButton3, PushButton4, PushButton5 })
        button->setCursor(pointer);
}

LoginFields Form1::loginFields() const
{
    LoginFields fields;
    fields.server = Text1->text();
    fields.port = Text9->text();
    fields.user = Text2->text();
    fields.password = Text3->text();
    fields.database = Text4->text();
    fields.localConnection = Check6->isChecked();
    return fields;
}

LoginFieldsSource Form1::loginFieldsSource() const
{
    return [this] { return loginFields(); };
}

void Form1::Form_Load()
{
    FailureTrap trap(ErrorReport::Form1_Form_Load, this);
    trap.step(100, [&] { Main::ApplySkin(this, SkinFramework1); });
    trap.step(104, [&] { setWindowTitle(QString::fromUtf8(BuildConfig::ProductTitle)); });
    trap.step(104, [&] { setWindowIcon(AppIcon::icon()); });
    trap.step(104, [&] { Main::SetAppTitle(); });
    trap.step(106, [&] { HomePageVisit::run(); });
    const QString handCursorPath = Main::besideProgram(HandCursorFile);
    if (trap.test(124, [&] { return Main::FileExists(handCursorPath); }))
        trap.step(126, [&] { setButtonPointer(HandCursor::load(handCursorPath)); });

    m_restoring = true;
    trap.step(128, [&] { Text1->setText(Settings::read(Settings::MSServer)); });
    trap.step(130, [&] { Text2->setText(Settings::read(Settings::MSUser)); });
    trap.step(132, [&] { Text3->setText(Settings::read(Settings::MSPassword)); });
    trap.step(134, [&] { Text4->setText(Settings::read(Settings::MSDatabase)); });
    trap.step(136, [&] { Text9->setText(Settings::read(Settings::MSPort, Settings::DefaultPort)); });
    trap.step(138, [&] {
        Check6->setChecked(
            Settings::isTicked(Settings::read(Settings::LocalConnection, Settings::DefaultLocalConnection)));
    });
    m_restoring = false;

    // The port is not looked at: a local connection does not use it.
    if (trap.test(140, [&] {
            return !Text1->text().isEmpty() && !Text2->text().isEmpty() && !Text3->text().isEmpty()
                && !Text4->text().isEmpty();
        })) {
        if (trap.test(142, [&] { return MSSQL::CanConnect(loginFields()); }))
            trap.step(144, [&] { PushButton3_Click(); });
    }
}

void Form1::PushButton5_Click()
{
    std::unique_ptr<odbc::Connection> connection;
    {
        // Only creating the connection object reports; every later failure is a failed test.
        FailureTrap trap(ErrorReport::Form1_PushButton5_Click, this);
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
    Main::showMessage(this, opened ? ConnectionSuccessful : CouldNotConnect, reason);
}

void Form1::PushButton4_Click()
{
    FailureTrap trap(ErrorReport::Form1_PushButton4_Click, this);
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
    trap.step(114, [&] { Main::showMessage(this, text); });
    if (trap.test(116, [&] { return MessageBoxes::instance().ask(this, HelpQuestion, Main::appTitle()); }))
        trap.step(118, [&] {
            const QString picture = Main::besideProgram(LocalConnectionPicture);
            try {
                Shell::instance().open(picture);
            } catch (const Failure &e) {
                // No program to open it with: a plain word, not an error report.
                Main::showMessage(this,
                    QStringLiteral("The picture could not be shown: no program to open it was found on this "
                                   "computer. It is the file %1.")
                        .arg(QDir::toNativeSeparators(picture)),
                    e.description());
            }
        });
}

void Form1::PushButton3_Click()
{
    // The table listing yields to the window system; a second press meanwhile
    // would fill the same list twice over.
    if (m_nextRunning)
        return;
    const QScopedValueRollback running(m_nextRunning, true);
    FailureTrap trap(ErrorReport::Form1_PushButton3_Click, this);
    if (trap.test(100, [&] { return Text1->text().isEmpty(); }))
        return;
    ChangeOptionsSide *next = nullptr;
    {
        // The checks and the table listing can wait for the driver's timeout.
        BusyPointer::Scope busy;
        if (trap.test(102, [&] { return !MSSQL::CanConnect(loginFields()); }))
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

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Everything was saved as it changed; the hidden window goes with this one.
    if (m_endProgram)
        m_endProgram();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
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
