#include "ui/Skin.h"
#include "common/ErrorReport.h"
#include "common/FailureTrap.h"
#include "platform/Failure.h"
#include "platform/SkinEngine.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <optional>

namespace {

const QColor Face(0x12, 0x34, 0x56);

QByteArray shippedSkin()
{
    QFile file(QStringLiteral(VANTRELL_RESOURCES "/x/o.cjs"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A login-like window with one control of every kind.
struct Window {
    QWidget window;
    QGroupBox *frame = new QGroupBox("Frame", &window);
    QLabel *labelInFrame = new QLabel("in frame", frame);
    QLineEdit *text = new QLineEdit(&window);
    QLabel *label = new QLabel("Server:", &window);
    QCheckBox *check = new QCheckBox("Local Connection", &window);
    QRadioButton *option = new QRadioButton("option", &window);
    QPushButton *button = new QPushButton("Next >", &window);
    QTreeWidget *list = new QTreeWidget(&window);
    QComboBox *combo = new QComboBox(&window);

    QList<QWidget *> plain() { return { &window, frame, labelInFrame, label, check, option }; }
    QList<QWidget *> others() { return { text, button, list, combo }; }
};

bool hasFace(const QWidget *w, const QColor &face = Face)
{
    return w->autoFillBackground() && w->palette().color(w->backgroundRole()) == face;
}

bool untouched(const QWidget *w)
{
    return !w->autoFillBackground() && !w->testAttribute(Qt::WA_SetPalette);
}

} // namespace

class SkinTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.emplace();
        m_styleBefore = QApplication::style()->name();
        m_engine = std::make_unique<SkinEngine>();
        m_paletteBefore = QApplication::palette();
        QPalette palette = m_paletteBefore;
        palette.setColor(QPalette::Button, Face);
        QApplication::setPalette(palette);
    }

    void cleanup()
    {
        m_engine->remove();
        QCOMPARE(QApplication::style()->name(), m_styleBefore);
        m_engine.reset();
        QApplication::setPalette(m_paletteBefore);
        QVERIFY(qApp->styleSheet().isEmpty());
        m_env.reset();
    }

    void missingSkinChangesNothing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("no file") << "";
        QTest::newRow("folder of that name") << "folder";
        QTest::newRow("file x instead of the folder") << "x";
    }

    void missingSkinChangesNothing()
    {
        QFETCH(QString, what);
        if (what == "folder")
            QDir().mkpath(m_env->programFolder() + "/x/o.cjs");
        else if (what == "x")
            m_env->putBesideProgram("x", shippedSkin());
        Window w;
        Skin::applySkin(&w.window, *m_engine);
        QVERIFY(!m_engine->isLoaded());
        QCOMPARE(m_engine->options(), 0);
        for (QWidget *control : w.plain() + w.others())
            QVERIFY(untouched(control));
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    void hiddenFileCountsAsMissing()
    {
        const QString hidden = m_env->putBesideProgram("x/.o.cjs", shippedSkin());
        QVERIFY(!Skin::isOrdinaryFile(hidden));
        QVERIFY(!Skin::isOrdinaryFile(m_env->programFolder() + "/x"));
        QVERIFY(!Skin::isOrdinaryFile(m_env->programFolder() + "/x/none.cjs"));
        QVERIFY(Skin::isOrdinaryFile(m_env->putBesideProgram("x/o.cjs", shippedSkin())));
    }

    void shippedSkinAppliesToWholeProgram()
    {
        const QByteArray skin = shippedSkin();
        QVERIFY(!skin.isEmpty());
        m_env->putBesideProgram("x/o.cjs", skin);
        Window w;
        Skin::applySkin(&w.window, *m_engine);

        // The login window and a window coloured later share the skin's button face.
        const QColor skinFace("#e2e7ed");
        for (QWidget *plain : w.plain())
            QVERIFY(hasFace(plain, skinFace));
        QWidget changeOptions;
        Skin::setFaceColours(&changeOptions);
        QVERIFY(hasFace(&changeOptions, skinFace));
        for (QWidget *other : w.others())
            QVERIFY(untouched(other));
        QVERIFY(m_engine->isLoaded());
        QVERIFY(m_engine->options() & SkinEngine::SkinWholeProgram);
        QVERIFY(m_engine->usesSkinPalette());
        QVERIFY(m_engine->usesCommonStyle());
        QCOMPARE(qApp->styleSheet(), QString::fromUtf8(skin));
        qApp->setStyleSheet(QString()); // shows the style under the sheet
        QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
        qApp->setStyleSheet(QString::fromUtf8(skin));
        // Controls that paint from the palette take the skin's colours; a later window too.
        QCOMPARE(QApplication::palette().color(QPalette::Highlight), QColor("#2e6590"));
        QWidget later;
        QCOMPARE(later.palette().color(QPalette::Highlight), QColor("#2e6590"));
    }

    void optionBitKeepsOtherBits()
    {
        m_env->putBesideProgram("x/o.cjs", shippedSkin());
        Window w;
        m_engine->setOptions(6);
        Skin::applySkin(&w.window, *m_engine);
        QCOMPARE(m_engine->options(), 7);
    }

    void brokenSkinReportsOnceAtLine100_data()
    {
        QTest::addColumn<QByteArray>("contents");
        const QByteArray header = "/* Vantrell skin 1 */\n";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blank") << QByteArray(" \n\n");
        QTest::newRow("no header") << QByteArray("QWidget { color: red; }\n");
        QTest::newRow("brace never closes") << header + "QWidget { color: red;\nQLabel { color: blue; }\n";
        QTest::newRow("brace closes nothing") << header + "QWidget { color: red; } }\n";
        QTest::newRow("comment never closes") << header + "/* oops\nQWidget { color: red; }\n";
        QTest::newRow("quote never closes") << header + "QLabel { qproperty-text: \"open; }\n";
        QTest::newRow("unknown palette role") << header + "/* palette Windoe=#ffffff */\n";
        QTest::newRow("bad palette colour") << header + "/* palette Window=#ggg */\n";
        QTest::newRow("not text at all") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11);
    }

    void brokenSkinReportsOnceAtLine100()
    {
        QFETCH(QByteArray, contents);
        RecordingMessageBoxes boxes;
        m_env->putBesideProgram("x/o.cjs", contents);
        Window w;
        FailureTrap trap(ErrorReport::LoginWindowLoad, &w.window);
        trap.step(100, [&] { Skin::applySkin(&w.window, *m_engine); });
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains("o.cjs"), qPrintable(boxes.shown[0].text));
        QVERIFY(boxes.shown[0].text.contains("\r\nin Quorvel2021/08/31.Form1.Form_Load at line 100\r\r"));
        QVERIFY(!m_engine->isLoaded());
        QVERIFY(qApp->styleSheet().isEmpty());
        // The colours set before the engine refused the file stay.
        QVERIFY(hasFace(&w.window));
        QVERIFY(hasFace(w.label));
    }

    void windowOnlySkin()
    {
        const QString path = m_env->putBesideProgram("skin.cjs",
            "/* Vantrell skin 1 */\n"
            "/* palette Highlight=#aa0000 */\n"
            "QPushButton { color: #00aa00; }\n");
        QWidget window;
        auto *button = new QPushButton("b", &window);
        QWidget other;
        m_engine->load(path, "QLabel { color: blue; }");
        m_engine->setUseSkinPalette(true);
        m_engine->setUseCommonStyle(true);
        m_engine->apply(&window);
        QVERIFY(qApp->styleSheet().isEmpty());
        QVERIFY(window.styleSheet().contains("QPushButton { color: #00aa00; }"));
        QVERIFY(window.styleSheet().endsWith("QLabel { color: blue; }"));
        QCOMPARE(window.palette().color(QPalette::Highlight), QColor("#aa0000"));
        QCOMPARE(other.palette().color(QPalette::Highlight), QApplication::palette().color(QPalette::Highlight));
        QVERIFY(button->style() != QApplication::style());

        m_engine->remove();
        QVERIFY(window.styleSheet().isEmpty());
        QCOMPARE(button->style(), QApplication::style());

        QVERIFY_THROWS_EXCEPTION(Failure, SkinEngine().apply(&window)); // nothing loaded
    }

private:
    QPalette m_paletteBefore;
    QString m_styleBefore;
    std::unique_ptr<SkinEngine> m_engine;
    std::optional<TestEnvironment> m_env;
};

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
