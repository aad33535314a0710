// Draws resources/beside-program/local-connection-example.jpg, the picture that
// "Help" offers: the login window filled in for SQL Server Express on the same
// computer, with notes on what to type. Run it again after the login window
// changes its look:
//
//     build/app/local-connection-picture resources/beside-program/local-connection-example.jpg
//
// It renders offscreen and keeps away from the user's own settings.

#include "common/ProgramFiles.h"
#include "login/LoginWindow.h"
#include "ui/AppIcon.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImageWriter>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QColor Paper(0xf7, 0xf5, 0xef);
const QColor Ink(0x26, 0x2b, 0x30);
const QColor Accent(0xc4, 0x3d, 0x1f);
const QColor TitleBar(0x1f, 0x5f, 0x8b);

QFont sans(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The window as the desktop frames it: a title bar with the icon and caption.
QImage framed(const QImage &client, const QString &caption)
{
    const int bar = 30, border = 4;
    QImage image(client.width() + 2 * border, client.height() + bar + border, QImage::Format_RGB32);
    image.fill(TitleBar);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(8, 6, AppIcon::picture(18));
    p.setPen(Qt::white);
    p.setFont(sans(14, true));
    p.drawText(QRect(32, 0, image.width() - 100, bar), Qt::AlignVCenter, caption);
    // Minimise and close only: the window cannot be maximised.
    p.setPen(QPen(Qt::white, 2));
    const int right = image.width() - 12;
    p.drawLine(right - 8, 14, right, 22);
    p.drawLine(right, 14, right - 8, 22);
    p.drawLine(right - 38, 22, right - 28, 22);
    p.drawImage(border, bar, client);
    return image;
}

void arrow(QPainter &p, QPointF from, QPointF to)
{
    p.setPen(QPen(Accent, 3, Qt::SolidLine, Qt::RoundCap));
    QPainterPath path(from);
    path.cubicTo(QPointF(from.x(), (from.y() + to.y()) / 2), QPointF(to.x(), (from.y() + to.y()) / 2), to);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    const QPointF tip = to;
    const QLineF back(tip, path.pointAtPercent(0.9));
    QLineF wing1 = back, wing2 = back;
    wing1.setLength(14);
    wing2.setLength(14);
    wing1.setAngle(back.angle() + 25);
    wing2.setAngle(back.angle() - 25);
    p.setBrush(Accent);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({ tip, wing1.p2(), wing2.p2() }));
}

void note(QPainter &p, const QRectF &box, int number, const QString &title, const QString &text)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QRectF(box.left(), box.top(), 28, 28));
    p.setPen(Qt::white);
    p.setFont(sans(16, true));
    p.drawText(QRectF(box.left(), box.top(), 28, 28), Qt::AlignCenter, QString::number(number));
    p.setPen(Ink);
    p.setFont(sans(16, true));
    p.drawText(QRectF(box.left() + 40, box.top() + 3, box.width() - 40, 24), Qt::AlignLeft, title);
    p.setFont(sans(14));
    p.drawText(QRectF(box.left() + 40, box.top() + 28, box.width() - 40, box.height() - 28),
        Qt::AlignLeft | Qt::TextWordWrap, text);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <picture.jpg>\n", argv[0]);
        return 2;
    }
    // Typing into the login window saves every field; these go to a throw-away store.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    ProgramFiles::setProgramFolder(QStringLiteral(VANTRELL_BESIDE_PROGRAM));

    LoginWindow form;
    Skin::applySkin(&form, form.skinEngine);
    form.setWindowTitle(QStringLiteral("Vantrell"));
    form.serverBox->setText(QStringLiteral("localhost\\SQLEXPRESS"));
    form.userBox->setText(QStringLiteral("sa"));
    form.passwordBox->setText(QStringLiteral("password"));
    form.databaseBox->setText(QStringLiteral("Northwind"));
    form.localConnectionBox->setChecked(true);
    form.show();
    form.nextButton->setFocus(); // no text cursor in the boxes
    QCoreApplication::processEvents();
    const QImage window = framed(form.grab().toImage(), form.windowTitle());

    const auto at = [&](QWidget *w) { return w->mapTo(&form, QPoint(0, 0)); };
    const QPoint serverBox = at(form.serverBox);
    const QPoint localBox = at(form.localConnectionBox);
    const QPoint testButton = at(form.testConnectionButton);

    const int margin = 36, heading = 86;
    const QPoint origin(margin, heading);
    const QPoint clientOrigin = origin + QPoint(4, 30);
    QImage picture(window.width() + 2 * margin + 380, window.height() + heading + margin + 10, QImage::Format_RGB32);
    picture.fill(Paper);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(Ink);
    p.setFont(sans(26, true));
    p.drawText(
        QRect(margin, 18, picture.width() - 2 * margin, 34), Qt::AlignLeft, QStringLiteral("How I connect locally"));
    p.setFont(sans(15));
    p.drawText(QRect(margin, 52, picture.width() - 2 * margin, 24), Qt::AlignLeft,
        QStringLiteral("Microsoft SQL Server Express Edition on this computer, with Vantrell's login window"));

    p.setPen(QPen(QColor(0, 0, 0, 40), 6));
    p.drawRect(QRect(origin + QPoint(3, 3), window.size()));
    p.drawImage(origin, window);

    const qreal notesLeft = origin.x() + window.width() + 60;
    const qreal notesWidth = picture.width() - notesLeft - margin;
    note(p, QRectF(notesLeft, heading, notesWidth, 110), 1, QStringLiteral("Server"),
        QStringLiteral("localhost, a backslash and the instance name: localhost\\SQLEXPRESS for a default "
                       "Express installation."));
    note(p, QRectF(notesLeft, heading + 118, notesWidth, 90), 2, QStringLiteral("Local Connection"),
        QStringLiteral("Tick it: the instance is found by its name, so the port box is not used."));
    note(p, QRectF(notesLeft, heading + 216, notesWidth, 100), 3, QStringLiteral("Test Connection"),
        QStringLiteral("Username, password and database as your administrator gave them; then press Test "
                       "Connection, and Next > when it succeeds."));

    arrow(p, QPointF(notesLeft - 6, heading + 14),
        QPointF(clientOrigin.x() + serverBox.x() + form.serverBox->width() - 30, clientOrigin.y() + serverBox.y() + 2));
    arrow(p, QPointF(notesLeft - 6, heading + 132),
        QPointF(clientOrigin.x() + localBox.x() + form.localConnectionBox->width() + 4,
            clientOrigin.y() + localBox.y() + form.localConnectionBox->height() / 2));
    arrow(p, QPointF(notesLeft - 6, heading + 230),
        QPointF(clientOrigin.x() + testButton.x() + form.testConnectionButton->width() - 40,
            clientOrigin.y() + testButton.y() + form.testConnectionButton->height() + 4));
    p.end();

    QImageWriter writer(QString::fromLocal8Bit(argv[1]), "jpeg");
    writer.setQuality(92);
    if (!writer.write(picture)) {
        std::fprintf(stderr, "cannot write %s: %s\n", argv[1], qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
