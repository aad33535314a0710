#include "login/LoginWindow.h"
#include "app/ChangeOptionsHandOver.h"
#include "changeoptions/ChangeOptionsWindow.h"
#include "common/AppTitle.h"
#include "common/BuildConfig.h"
#include "common/Settings.h"
#include "login/ConnectionSecurityDialog.h"
#include "platform/BusyPointer.h"
#include "platform/Failure.h"
#include "support/LayoutCheck.h"
#include "support/ListRows.h"
#include "support/Login.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include <optional>

class LoginWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        sandbox.emplace();
        form = new LoginWindow;
        AppTitle::set();
    }

    void cleanup()
    {
        delete form;
        sandbox.reset();
    }

    void layoutAsDesigned()
    {
        // Designed in twips at 15 to the pixel; frame children relative to the frame.
        QCOMPARE(form->size(), QSize(536, 265));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);
        // Nothing reaches out of its frame, overlaps another control or is cut.
        const QStringList problems = layoutProblems(form);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(form->loginFrame->title(), QStringLiteral("MS SQL Server Login"));
        QCOMPARE(QStringList({ form->localConnectionBox->text(), form->testConnectionButton->text(),
                     form->helpButton->text(), form->nextButton->text() }),
            QStringList({ "Local Connection", "Test Connection", "Help", "Next >" }));
        QStringList labels;
        for (auto *label : form->loginFrame->findChildren<QLabel *>()) {
            labels << label->text();
            // Every caption fits its control in the font it is drawn with.
            QVERIFY2(
                label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        }
        QCOMPARE(labels, QStringList({ "Server:", "Port:", "Username:", "Password:", "Database:" }));
        QCOMPARE(form->serverBox->font().family(), QStringLiteral("Arial"));
        QVERIFY(form->serverBox->font().bold());
        QCOMPARE(form->serverBox->font().pointSizeF(), 9.0);
        QVERIFY(form->nextButton->font().bold());
        QCOMPARE(form->nextButton->font().pointSizeF(), 11.25);

        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->serverBox->setFocus();
        QStringList order { QApplication::focusWidget()->objectName() };
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order,
            QStringList({ "serverBox", "portBox", "userBox", "passwordBox", "databaseBox", "testConnectionButton",
                "helpButton", "nextButton", "localConnectionBox", "serverBox" }));
    }

    void passwordShowsStars()
    {
        form->show();
        QTest::keyClicks(form->passwordBox, QStringLiteral("s3cr;t"));
        QCOMPARE(form->passwordBox->text(), QStringLiteral("s3cr;t"));
        QCOMPARE(form->passwordBox->displayText(), QStringLiteral("******"));
    }

    void everyChangeIsSaved_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::newRow("server") << "serverBox" << Settings::MSServer;
        QTest::newRow("port") << "portBox" << Settings::MSPort;
        QTest::newRow("user") << "userBox" << Settings::MSUser;
        QTest::newRow("password, in plain text") << "passwordBox" << Settings::MSPassword;
        QTest::newRow("database") << "databaseBox" << Settings::MSDatabase;
    }

    void everyChangeIsSaved()
    {
        QFETCH(QString, box);
        QFETCH(QString, key);
        auto *edit = form->findChild<QLineEdit *>(box);
        form->show();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A);
        QCOMPARE(Settings::read(key, "missing"), QStringLiteral("a"));
        QTest::keyClicks(edit, QStringLiteral("b\\c"));
        QCOMPARE(Settings::read(key, "missing"), QStringLiteral("ab\\c"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        // An emptied box is stored as empty, not as absent.
        QCOMPARE(Settings::read(key, "missing"), QString());
        // Nothing else was written on the way.
        for (const QString &other : { Settings::MSServer, Settings::MSUser, Settings::MSPassword, Settings::MSDatabase,
                 Settings::MSPort, Settings::LocalConnection })
            if (other != key)
                QCOMPARE(Settings::read(other, "missing"), QStringLiteral("missing"));
    }

    void checkBoxSavesEveryClick()
    {
        form->show();
        QTest::mouseClick(
            form->localConnectionBox, Qt::LeftButton, {}, QPoint(5, form->localConnectionBox->height() / 2));
        QVERIFY(form->localConnectionBox->isChecked());
        QCOMPARE(Settings::read(Settings::LocalConnection, "missing"), QStringLiteral("1"));
        QVERIFY(form->loginFields().localConnection);
        QTest::mouseClick(
            form->localConnectionBox, Qt::LeftButton, {}, QPoint(5, form->localConnectionBox->height() / 2));
        QCOMPARE(Settings::read(Settings::LocalConnection, "missing"), QStringLiteral("0"));
        QVERIFY(!form->loginFields().localConnection);
    }

    // The encryption choices: remembered beside the login fields, reached from
    // the window's context menu and Ctrl+E without a control of the frame's,
    // and used by every connection, "Test Connection" too.
    void encryptionChoicesAreRememberedAndUsed()
    {
        Settings::write(Settings::EncryptConnection, "1");
        Settings::write(Settings::TrustedAuthorities, "/nonexistent-vantrell/ca.pem");
        form->load();
        QCOMPARE(form->loginFields().security, (ConnectionSecurity { true, false, "/nonexistent-vantrell/ca.pem" }));
        for (QWidget *surface : std::initializer_list<QWidget *> { form, form->loginFrame }) {
            QCOMPARE(surface->contextMenuPolicy(), Qt::ActionsContextMenu);
            QVERIFY(surface->actions().contains(form->encryptionAction));
        }

        TestDatabase db;
        enterLogin(form, db.fields("pw"));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::mouseClick(form->testConnectionButton, Qt::LeftButton);
        QCOMPARE(sandbox->boxes.texts(), QStringList { LoginWindow::CouldNotConnect });
        QVERIFY2(shown()[0].details.contains("/nonexistent-vantrell/ca.pem"), qPrintable(shown()[0].details));

        QTest::keyClick(form, Qt::Key_E, Qt::ControlModifier);
        auto *dialog = form->findChild<ConnectionSecurityDialog *>();
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(dialog->encryptBox->isChecked());
        QVERIFY(!dialog->trustBox->isChecked());
        QVERIFY(dialog->authoritiesBox->isEnabled());
        QVERIFY(!dialog->trustWarning->isVisible());
        // Trusting any certificate says what it does not protect against, and
        // leaves the authorities aside.
        dialog->trustBox->click();
        QVERIFY(dialog->trustWarning->isVisible());
        QVERIFY(dialog->trustWarning->text().contains("machine in the middle"));
        QVERIFY(!dialog->authoritiesBox->isEnabled());
        dialog->okButton->click();
        QTRY_VERIFY(!form->findChild<ConnectionSecurityDialog *>());
        QCOMPARE(Settings::read(Settings::TrustServerCertificate, "missing"), QStringLiteral("1"));
        QCOMPARE(Settings::read(Settings::EncryptConnection, "missing"), QStringLiteral("1"));
        QVERIFY(form->loginFields().security.trustServerCertificate);
        QTest::mouseClick(form->testConnectionButton, Qt::LeftButton);
        QCOMPARE(sandbox->boxes.texts().last(), LoginWindow::ConnectionSuccessful);

        // Cancel changes nothing.
        form->encryptionAction->trigger();
        dialog = form->findChild<ConnectionSecurityDialog *>();
        QVERIFY(dialog);
        dialog->encryptBox->click();
        dialog->trustBox->click();
        dialog->reject();
        QVERIFY(form->loginFields().security.trustServerCertificate);
        QCOMPARE(Settings::read(Settings::TrustServerCertificate, "missing"), QStringLiteral("1"));
        // Nothing of the frame changed for it.
        QCOMPARE(form->size(), QSize(536, 265));
    }

    void focusSelectsWholeText_data()
    {
        QTest::addColumn<bool>("byClick");
        QTest::newRow("Tab") << false;
        QTest::newRow("click") << true;
    }

    void focusSelectsWholeText()
    {
        QFETCH(bool, byClick);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->serverBox->setText("server");
        form->userBox->setText("someone");
        form->portBox->setText("1433");
        form->serverBox->setFocus();
        QTRY_COMPARE(form->serverBox->selectedText(), QStringLiteral("server"));
        if (byClick)
            QTest::mouseClick(form->userBox, Qt::LeftButton, {}, QPoint(20, 10));
        else
            QTest::keyClick(form->serverBox, Qt::Key_Tab); // port box
        QLineEdit *target = byClick ? form->userBox : form->portBox;
        QTRY_VERIFY(target->hasFocus());
        QTRY_COMPARE(target->selectedText(), target->text());
        QCOMPARE(target->selectionStart(), 0);
        if (byClick) {
            // Only getting the focus selects: a later click in the same box edits as usual.
            QTest::mouseClick(form->userBox, Qt::LeftButton, {}, QPoint(20, 10));
            QTest::qWait(20);
            QVERIFY(!form->userBox->hasSelectedText());
        }
    }

    void testConnectionReadsBoxesAtEachPress()
    {
        TestDatabase db;
        enterLogin(form, TestDatabase::unreachable());
        // The answer waits for the user under the normal pointer.
        QList<bool> busyWhileShown;
        sandbox->boxes.onShow = [&](const RecordingMessageBoxes::Shown &) {
            busyWhileShown << (BusyPointer::isShowing() || QGuiApplication::overrideCursor());
        };
        form->show();
        QTest::mouseClick(form->testConnectionButton, Qt::LeftButton);
        form->databaseBox->setText(db.path());
        QTest::mouseClick(form->testConnectionButton, Qt::LeftButton);
        QCOMPARE(sandbox->boxes.texts(),
            QStringList({ "Could not connect. Please check with your administrator.", "Connection successful." }));
        for (const auto &box : shown()) {
            QCOMPARE(box.title, QStringLiteral("Vantrell"));
            QCOMPARE(box.icon, MessageBoxes::Icon::None);
        }
        QCOMPARE(busyWhileShown, QList<bool>({ false, false }));
        QVERIFY(!BusyPointer::isShowing());
        // The driver's reason waits behind "Show Details...".
        QVERIFY2(shown()[0].details.contains("[SQLite]"), qPrintable(shown()[0].details));
        QVERIFY(shown()[1].details.isEmpty());

        // Enter presses the focused button, as on Windows; the window offers no maximise.
        form->testConnectionButton->setFocus();
        QTest::keyClick(form->testConnectionButton, Qt::Key_Return);
        QCOMPARE(sandbox->boxes.texts().size(), 3);
        QCOMPARE(sandbox->boxes.texts().last(), QStringLiteral("Connection successful."));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void helpTextExactly()
    {
        form->help();
        QCOMPARE(shown().size(), 2);
        const QString expected
            = QStringLiteral(
                  "If you cannot establish connection to your MS SQL Server database with this program, please "
                  "go to: \r\r")
            + QString::fromUtf8(BuildConfig::ToolDownloadPage)
            + QStringLiteral(
                "\r\rDownload and install the EMS SQL Manager 2005 Lite for SQL Server. Try to connect to the "
                "same database (with the same login information you are using here). This will determine if "
                "the login you are using is correct.\r\rIf you are using Microsoft SQL Server Express "
                "Edition and connecting locally, you may need to use\r\rlocalhost\\SQLEXPRESS\r\rfor "
                "example, for Server.");
        QCOMPARE(shown()[0].text, expected);
        QVERIFY(!shown()[0].question);
        QCOMPARE(shown()[0].title, QStringLiteral("Vantrell"));
        QCOMPARE(shown()[0].icon, MessageBoxes::Icon::None);
        QCOMPARE(shown()[1].text, QStringLiteral("Would you like to see an image of how I connect locally?"));
        QVERIFY(shown()[1].question);
        QCOMPARE(shown()[1].title, QStringLiteral("Vantrell"));
    }

    void helpPictureOnlyOnYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }

    void helpPictureOnlyOnYes()
    {
        QFETCH(bool, yes);
        sandbox->boxes.answers = { yes };
        QTest::mouseClick(form->helpButton, Qt::LeftButton);
        const QString picture = sandbox->env.programFolder() + QStringLiteral("/local-connection-example.jpg");
        QCOMPARE(sandbox->shell.opened, yes ? QStringList { picture } : QStringList {});
    }

    // No program to open the picture with: a plain message, not an error report.
    void helpSaysWhenNothingOpensThePicture()
    {
        class FailingShell final : public Shell {
        public:
            void open(const QString &) override { throw Failure("No desktop."); }
        } failing;
        Shell::setInstance(&failing);
        sandbox->boxes.answers = { true };
        form->help();
        Shell::setInstance(&sandbox->shell);
        QCOMPARE(shown().size(), 3);
        QVERIFY2(shown()[2].text.startsWith("The picture could not be shown: no program to open it was found"),
            qPrintable(shown()[2].text));
        QVERIFY(shown()[2].text.contains("local-connection-example.jpg"));
        QCOMPARE(shown()[2].title, QStringLiteral("Vantrell"));
        QCOMPARE(shown()[2].details, QStringLiteral("No desktop."));
    }

    void failedListingOffersNoTableOfTheOldDatabase()
    {
        TestDatabase db;
        enterLogin(form, db.fields());
        ChangeOptionsWindow work(form->loginFieldsSource());
        work.setEndProgram([] {});
        work.load();
        fillRows(work.tableList, { "Customers" });
        fillRows(work.fieldList, { "Name" });
        fillRows(work.previewList, { "ann" });
        // The database is switched for one that cannot be listed after the check passed.
        ChangeOptionsHandOver handOver(&work);
        form->setChangeOptionsWindow([&] {
            form->databaseBox->setText(TestDatabase::unreachable().database);
            return &handOver;
        });
        form->show();
        form->next();
        QCOMPARE(shown().size(), 1);
        QVERIFY(shown()[0].text.contains("\r\nin Quorvel2021/08/31.Form1.PushButton3_Click at line 104\r\r"));
        QCOMPARE(work.tableList->topLevelItemCount(), 0);
        QCOMPARE(work.fieldList->topLevelItemCount(), 0);
        QCOMPARE(work.previewList->topLevelItemCount(), 0);
        QVERIFY(!BusyPointer::isShowing());
    }

    void unsavableFieldToldOnce()
    {
#ifdef Q_OS_WIN
        QSKIP("a registry key the user cannot write is not made here");
#endif
        // A store that cannot be written: its folder would have to be inside a file.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null/settings"));
        form->show();
        QTest::keyClicks(form->serverBox, QStringLiteral("abc"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, sandbox->env.settingsFolder());
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown()[0].icon, MessageBoxes::Icon::None);
        QVERIFY(shown()[0].text.startsWith("The setting \"MSServer\" was not saved: /dev/null/settings/Marrowfen is "));
        QCOMPARE(form->serverBox->text(), QStringLiteral("abc")); // typing goes on
    }

    void nextWithEmptyServerStopsSilently()
    {
        // Stored fields that do not connect are the window flow's test.
        LoginFields fields = TestDatabase::unreachable();
        fields.server.clear();
        enterLogin(form, fields);
        int asked = 0;
        form->setChangeOptionsWindow([&]() -> ChangeOptionsSide * {
            ++asked;
            return nullptr;
        });
        form->show();
        QTest::mouseClick(form->nextButton, Qt::LeftButton);
        QCOMPARE(asked, 0);
        QVERIFY(form->isVisible());
        QCOMPARE(shown().size(), 0);
        QVERIFY(!BusyPointer::isShowing());
    }

private:
    std::optional<WindowSandbox> sandbox;
    LoginWindow *form = nullptr;
    QList<RecordingMessageBoxes::Shown> &shown()
    {
        return sandbox->boxes.shown;
    }
};

QTEST_MAIN(LoginWindowTest)
#include "LoginWindowTest.moc"
