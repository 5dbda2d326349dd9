// Draws the program's images and writes them as PNG files into the folder named on the command
// line: the panels' button skins and list icons, the window and desktop icons, the splash screen
// and the company logo. The icons and skins are drawn from paths alone; the splash and the logo
// set their words in DejaVu Sans, which the build's package list installs.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <cstdio>

namespace {

constexpr int kSize = 64;
// Bold strokes: the images are shown at about half their size.
constexpr qreal kStroke = 6.5;

enum class Look { Normal, Selected, Disabled };

struct Face {
    QColor top, bottom, border, glyph;
    bool shadow;
};

Face FaceOf(Look look) {
    switch (look) {
        case Look::Normal:
            return {QColor(0x50, 0x55, 0x5e), QColor(0x24, 0x27, 0x2c), QColor(0x10, 0x11, 0x13),
                    QColor(0xf4, 0xf4, 0xf4), true};
        case Look::Selected:
            return {QColor(0xff, 0xb8, 0x4d), QColor(0xd9, 0x5f, 0x00), QColor(0x6e, 0x2c, 0x00),
                    QColor(0xff, 0xff, 0xff), true};
        case Look::Disabled:
            break;
    }
    return {QColor(0x5c, 0x5e, 0x61), QColor(0x4a, 0x4b, 0x4e), QColor(0x3a, 0x3b, 0x3d),
            QColor(0x80, 0x82, 0x86), false};
}

QPainterPath Stroked(const QPainterPath& line, qreal width = kStroke) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line);
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath Bar(qreal x, qreal y, qreal w, qreal h) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), 1.5, 1.5);
    return path;
}

QPainterPath Line(QPointF from, QPointF to) {
    QPainterPath path;
    path.moveTo(from);
    path.lineTo(to);
    return Stroked(path);
}

QPainterPath Plus(QPointF centre, qreal arm) {
    return Line(centre - QPointF(arm, 0), centre + QPointF(arm, 0))
        .united(Line(centre - QPointF(0, arm), centre + QPointF(0, arm)));
}

QPainterPath Arrow(QPointF tail, QPointF tip, qreal head) {
    const QLineF axis(tip, tail);
    QLineF side = axis;
    side.setLength(head);
    const QPointF back = side.p2();
    const QPointF across = QPointF(-(back - tip).y(), (back - tip).x()) * 0.75;
    QLineF shaft(tail, tip);
    shaft.setLength(shaft.length() - head * 0.5);
    return Line(shaft.p1(), shaft.p2()).united(Polygon({tip, back + across, back - across}));
}

// ---- the glyphs, on a 64 x 64 grid ----

QPainterPath PlayPause() {
    return Polygon({{13, 19}, {13, 45}, {33, 32}})
        .united(Bar(37, 19, 6, 26))
        .united(Bar(46, 19, 6, 26));
}

QPainterPath FastForward() {
    return Polygon({{12, 19}, {12, 45}, {32, 32}}).united(Polygon({{32, 19}, {32, 45}, {52, 32}}));
}

QPainterPath Rewind() {
    return Polygon({{52, 19}, {52, 45}, {32, 32}}).united(Polygon({{32, 19}, {32, 45}, {12, 32}}));
}

// A U-turn arrow: play running backwards.
QPainterPath Reverse() {
    QPainterPath turn;
    turn.moveTo(24, 24);
    turn.lineTo(38, 24);
    turn.arcTo(QRectF(29, 24, 18, 18), 90, -180);
    turn.lineTo(22, 42);
    return Stroked(turn).united(Polygon({{11, 24}, {26, 14}, {26, 34}}));
}

QPainterPath NextTrack() {
    return Polygon({{16, 19}, {16, 45}, {38, 32}}).united(Bar(41, 19, 7, 26));
}

QPainterPath PreviousTrack() {
    return Bar(16, 19, 7, 26).united(Polygon({{48, 19}, {48, 45}, {26, 32}}));
}

QPainterPath Document() {
    QPainterPath outline;
    outline.moveTo(14, 14);
    outline.lineTo(28, 14);
    outline.lineTo(36, 22);
    outline.lineTo(36, 50);
    outline.lineTo(14, 50);
    outline.closeSubpath();
    QPainterPath fold;
    fold.moveTo(27, 14);
    fold.lineTo(27, 23);
    fold.lineTo(36, 23);
    return Stroked(outline, 5).united(Stroked(fold, 4));
}

QPainterPath AddFile() {
    return Document().united(Plus({46, 38}, 7));
}

QPainterPath AddFolder() {
    QPainterPath folder;
    folder.moveTo(10, 20);
    folder.lineTo(20, 20);
    folder.lineTo(24, 25);
    folder.lineTo(36, 25);
    folder.lineTo(36, 46);
    folder.lineTo(10, 46);
    folder.closeSubpath();
    return Stroked(folder, 5).united(Plus({46, 38}, 7));
}

QPainterPath Cross(QPointF centre, qreal arm) {
    return Line(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm))
        .united(Line(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm)));
}

QPainterPath Delete() {
    return Cross({32, 32}, 11);
}

// A waste bin.
QPainterPath DeleteAll() {
    QPainterPath body;
    body.moveTo(19, 23);
    body.lineTo(21, 50);
    body.lineTo(43, 50);
    body.lineTo(45, 23);
    QPainterPath handle;
    handle.moveTo(27, 17);
    handle.lineTo(27, 13);
    handle.lineTo(37, 13);
    handle.lineTo(37, 17);
    return Stroked(body, 5)
        .united(Line({14, 18}, {50, 18}))
        .united(Stroked(handle, 4))
        .united(Line({28, 29}, {28, 43}))
        .united(Line({36, 29}, {36, 43}));
}

// A floppy disk: the body with its shutter and label cut out.
QPainterPath Save() {
    QPainterPath body = Polygon({{14, 12}, {44, 12}, {52, 20}, {52, 52}, {14, 52}});
    QPainterPath shutter;
    shutter.addRect(QRectF(21, 12, 19, 12));
    QPainterPath label;
    label.addRoundedRect(QRectF(20, 33, 26, 15), 2, 2);
    QPainterPath slot;
    slot.addRect(QRectF(33, 15, 4, 7));
    return body.subtracted(shutter).subtracted(label).united(slot);
}

// Deck A and deck B trade places: two opposite arrows.
QPainterPath DeckSwap() {
    return Arrow({12, 23}, {52, 23}, 13).united(Arrow({52, 42}, {12, 42}, 13));
}

QPainterPath MoveUp() {
    return Arrow({32, 52}, {32, 11}, 18);
}

QPainterPath MoveDown() {
    return Arrow({32, 12}, {32, 53}, 18);
}

QPainterPath Power() {
    QPainterPath ring;
    ring.arcMoveTo(QRectF(15, 17, 34, 34), 125);
    ring.arcTo(QRectF(15, 17, 34, 34), 125, 290);
    return Stroked(ring).united(Line({32, 12}, {32, 32}));
}

// ---- composition ----

void DrawFace(QPainter& painter, const Face& face) {
    const QRectF bounds(2, 2, kSize - 4, kSize - 4);
    QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
    fill.setColorAt(0, face.top);
    fill.setColorAt(1, face.bottom);
    painter.setPen(QPen(face.border, 2));
    painter.setBrush(fill);
    painter.drawRoundedRect(bounds, 11, 11);
    // A faint sheen along the top edge gives the face some depth.
    painter.setPen(QPen(QColor(255, 255, 255, 50), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(13, 4.5), QPointF(kSize - 13, 4.5));
}

void DrawGlyph(QPainter& painter, const QPainterPath& glyph, const QColor& colour, bool shadow) {
    painter.setPen(Qt::NoPen);
    if (shadow) {
        painter.setBrush(QColor(0, 0, 0, 110));
        painter.drawPath(glyph.translated(1.5, 2));
    }
    painter.setBrush(colour);
    painter.drawPath(glyph);
}

QImage NewImage() {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Button(const QPainterPath& glyph, Look look) {
    QImage image = NewImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const Face face = FaceOf(look);
    DrawFace(painter, face);
    DrawGlyph(painter, glyph, face.glyph, face.shadow);
    painter.end();
    return image;
}

// A button whose glyph lights up in its colour, with a glow around it, while it is on, and stays
// dim while it is off: power (green) and record (red).
struct Lamp {
    QColor glow;  // the centre of the glow, with its opacity
    QColor lit;
    QColor unlit;
};

QImage LampButton(const QPainterPath& glyph, bool on, Look look, const Lamp& lamp) {
    QImage image = NewImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawFace(painter, FaceOf(look));
    if (on) {
        QRadialGradient glow(QPointF(32, 33), 28);
        glow.setColorAt(0, lamp.glow);
        QColor edge = lamp.glow;
        edge.setAlpha(0);
        glow.setColorAt(1, edge);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(QPointF(32, 33), 28, 28);
    }
    DrawGlyph(painter, glyph, on ? lamp.lit : lamp.unlit, true);
    painter.end();
    return image;
}

QImage PowerButton(bool on, Look look) {
    return LampButton(
        Power(), on, look,
        {QColor(80, 255, 110, 120), QColor(0x6b, 0xff, 0x86), QColor(0xa8, 0xaa, 0xad)});
}

QImage RecordButton(bool on, Look look) {
    QPainterPath dot;
    dot.addEllipse(QPointF(32, 33), 13, 13);
    return LampButton(
        dot, on, look,
        {QColor(255, 60, 40, 150), QColor(0xff, 0x3b, 0x30), QColor(0xb0, 0x3a, 0x34)});
}

// ---- the play list's row icons, 16 x 16 ----

// The decks' display colours as the program starts with them (0x00BBGGRR 0x00FFABCD and
// 0x00ABCDFF): rows of Deck A are marked in lavender, rows of Deck B in peach.
const QColor kDeckColour[2] = {QColor(0xcd, 0xab, 0xff), QColor(0xff, 0xcd, 0xab)};
const QColor kSelectedRing(0xff, 0x8c, 0x1a);  // the selected buttons' orange

enum class Mark { Plain, Cued, Selected, CuedSelected };

// A disc in the deck's colour with the deck's letter cut out of it: "A" or "B"; cued tracks get
// a play triangle instead, selected ones an orange ring.
QImage RowIcon(int deck, Mark mark) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool selected = mark == Mark::Selected || mark == Mark::CuedSelected;
    const bool cued = mark == Mark::Cued || mark == Mark::CuedSelected;
    painter.setPen(selected ? QPen(kSelectedRing, 2) : QPen(kDeckColour[deck].darker(180), 1));
    painter.setBrush(kDeckColour[deck]);
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x20, 0x22, 0x26));
    if (cued) {
        painter.drawPath(Polygon({{6, 4.5}, {6, 11.5}, {11.5, 8}}));
    } else if (deck == 0) {
        // "A": two legs and a bar, drawn as strokes.
        QPainterPath letter;
        letter.moveTo(5, 12);
        letter.lineTo(8, 4);
        letter.lineTo(11, 12);
        letter.moveTo(6.2, 9.2);
        letter.lineTo(9.8, 9.2);
        painter.drawPath(Stroked(letter, 1.6));
    } else {
        // "B": a stem and two bowls.
        QPainterPath letter;
        letter.moveTo(5.5, 4);
        letter.lineTo(5.5, 12);
        letter.lineTo(9, 12);
        letter.arcTo(QRectF(7, 8, 4, 4), -90, 180);
        letter.lineTo(5.5, 8);
        letter.moveTo(5.5, 4);
        letter.lineTo(8.5, 4);
        letter.arcTo(QRectF(6.5, 4, 4, 4), -90, 180);
        painter.drawPath(Stroked(letter, 1.5));
    }
    painter.end();
    return image;
}

// A red disc with a white cross: the track cannot be read.
QImage UnreadableIcon() {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x7a, 0x10, 0x10), 1));
    painter.setBrush(QColor(0xe0, 0x30, 0x30));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(5.5, 10.5), QPointF(10.5, 5.5));
    painter.end();
    return image;
}

// ---- window and desktop icons ----

// A turntable seen from above: a black disc with grooves, the label in Deck A's lavender and
// a tone arm. At 16 and 22 pixels the grooves and the arm would only blur, so they are left out.
QImage TurntableIcon(int size, const QColor& label) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const bool detailed = size >= 32;
    QRadialGradient vinyl(QPointF(28, 30), 30);
    vinyl.setColorAt(0, QColor(0x3a, 0x3d, 0x44));
    vinyl.setColorAt(1, QColor(0x0e, 0x0f, 0x12));
    painter.setPen(QPen(QColor(0x05, 0x05, 0x06), 1.5));
    painter.setBrush(vinyl);
    painter.drawEllipse(QPointF(30, 32), 28, 28);
    if (detailed) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 40), 0.8));
        for (qreal r = 13; r < 26; r += 3.2) {
            painter.drawEllipse(QPointF(30, 32), r, r);
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(label);
    painter.drawEllipse(QPointF(30, 32), 9.5, 9.5);
    painter.setBrush(QColor(0x10, 0x11, 0x13));
    painter.drawEllipse(QPointF(30, 32), 1.8, 1.8);
    if (detailed) {
        // The arm rests on the record's outer grooves from its pivot at the top right.
        painter.setBrush(QColor(0xc8, 0xcc, 0xd2));
        painter.drawEllipse(QPointF(56, 8), 5, 5);
        painter.setPen(QPen(QColor(0xe6, 0xe8, 0xec), 3.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(56, 8), QPointF(52, 40));
        painter.drawLine(QPointF(52, 40), QPointF(45, 48));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xff, 0x8c, 0x1a));
        painter.drawRoundedRect(QRectF(40.5, 45, 7, 5.5), 1.5, 1.5);
    }
    painter.end();
    return image;
}

// Two decks' discs side by side with a cross fader between them: the program's own icon.
QImage ProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    QLinearGradient body(QPointF(0, 10), QPointF(0, 56));
    body.setColorAt(0, QColor(0x50, 0x55, 0x5e));
    body.setColorAt(1, QColor(0x1c, 0x1e, 0x22));
    painter.setPen(QPen(QColor(0x0a, 0x0b, 0x0c), 1.5));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(1.5, 12, 61, 42), 8, 8);
    for (int deck = 0; deck < 2; ++deck) {
        const QPointF centre(deck == 0 ? 17 : 47, 30);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x0e, 0x0f, 0x12));
        painter.drawEllipse(centre, 13, 13);
        if (size >= 32) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(QColor(255, 255, 255, 45), 0.8));
            painter.drawEllipse(centre, 10, 10);
            painter.drawEllipse(centre, 7.5, 7.5);
            painter.setPen(Qt::NoPen);
        }
        painter.setBrush(deck == 0 ? QColor(0xcd, 0xab, 0xff) : QColor(0xff, 0xcd, 0xab));
        painter.drawEllipse(centre, 4.5, 4.5);
    }
    // The cross fader: a slot and its knob, in the selected buttons' orange.
    painter.setBrush(QColor(0x08, 0x08, 0x09));
    painter.drawRoundedRect(QRectF(18, 46.5, 28, 3), 1.5, 1.5);
    painter.setBrush(QColor(0xff, 0x8c, 0x1a));
    painter.drawRoundedRect(QRectF(28, 43, 8, 10), 2, 2);
    painter.end();
    return image;
}

// ---- splash screen and company logo ----

QFont Typeface(qreal pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(pixels));
    font.setBold(bold);
    return font;
}

// The program's name over two turning discs, on the panels' dark face.
QImage SplashScreen() {
    constexpr int kWidth = 480;
    constexpr int kHeight = 270;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient face(QPointF(0, 0), QPointF(0, kHeight));
    face.setColorAt(0, QColor(0x3a, 0x3e, 0x46));
    face.setColorAt(1, QColor(0x14, 0x15, 0x18));
    painter.fillRect(image.rect(), face);
    painter.setPen(QPen(QColor(0xff, 0x8c, 0x1a), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, kWidth - 2, kHeight - 2));
    const QImage disc = TurntableIcon(150, QColor(0xcd, 0xab, 0xff));
    const QImage discB = TurntableIcon(150, QColor(0xff, 0xcd, 0xab));
    painter.drawImage(QPointF(20, 95), disc);
    painter.drawImage(QPointF(kWidth - 170, 95), discB.mirrored(true, false));
    painter.setPen(QColor(0xf4, 0xf4, 0xf4));
    painter.setFont(Typeface(54, true));
    painter.drawText(QRectF(0, 18, kWidth, 70), Qt::AlignCenter, QStringLiteral("TevAudio"));
    painter.setPen(QColor(0xff, 0xb8, 0x4d));
    painter.setFont(Typeface(17, false));
    painter.drawText(QRectF(0, 82, kWidth, 26), Qt::AlignCenter,
                     QStringLiteral("Two decks. One mix."));
    painter.setPen(QColor(0xa8, 0xaa, 0xad));
    painter.setFont(Typeface(12, false));
    painter.drawText(QRectF(0, kHeight - 34, kWidth, 20), Qt::AlignCenter,
                     QStringLiteral("Tev Quillet"));
    painter.end();
    return image;
}

// The maker's mark: a "TQ" monogram in a ring, and the name beside it.
QImage CompanyLogo() {
    constexpr int kWidth = 320;
    constexpr int kHeight = 96;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(QColor(0xd9, 0x5f, 0x00), 5));
    painter.setBrush(QColor(0x24, 0x27, 0x2c));
    painter.drawEllipse(QPointF(48, 48), 40, 40);
    painter.setPen(QColor(0xff, 0xb8, 0x4d));
    painter.setFont(Typeface(34, true));
    painter.drawText(QRectF(8, 8, 80, 80), Qt::AlignCenter, QStringLiteral("TQ"));
    painter.setPen(QColor(0x24, 0x27, 0x2c));
    painter.setFont(Typeface(36, true));
    painter.drawText(QRectF(100, 10, kWidth - 100, 50), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Tev Quillet"));
    painter.setPen(QColor(0x50, 0x55, 0x5e));
    painter.setFont(Typeface(15, false));
    painter.drawText(QRectF(102, 58, kWidth - 100, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("software for DJs"));
    painter.end();
    return image;
}

struct Skin {
    const char* name;
    QPainterPath (*glyph)();
    bool hasDisabled;  // only the transport buttons have a disabled image
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    // Text needs a font database, which needs an application; no display is involved.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "%s: cannot create %s\n", argv[0], argv[1]);
        return 1;
    }
    bool ok = true;
    const auto save = [&](const QImage& image, const QString& name) {
        if (!image.save(folder.filePath(name), "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(name));
            ok = false;
        }
    };

    const Skin buttons[] = {
        {"reverse", Reverse, true},
        {"rewind", Rewind, true},
        {"fastForward", FastForward, true},
        {"playPause", PlayPause, true},
        {"nextTrack", NextTrack, false},
        {"previousTrack", PreviousTrack, false},
        {"addFile", AddFile, false},
        {"addFolder", AddFolder, false},
        {"delete", Delete, false},
        {"deleteAll", DeleteAll, false},
        {"save", Save, false},
        {"deckSwap", DeckSwap, false},
        {"moveUp", MoveUp, false},
        {"moveDown", MoveDown, false},
    };
    for (const Skin& button : buttons) {
        const QString name = QString::fromLatin1(button.name);
        const QPainterPath glyph = button.glyph();
        save(Button(glyph, Look::Normal), name + QStringLiteral(".png"));
        save(Button(glyph, Look::Selected), name + QStringLiteral("Selected.png"));
        if (button.hasDisabled) {
            save(Button(glyph, Look::Disabled), name + QStringLiteral("Disabled.png"));
        }
    }
    save(PowerButton(true, Look::Normal), QStringLiteral("powerOn.png"));
    save(PowerButton(true, Look::Selected), QStringLiteral("powerOnSelected.png"));
    save(PowerButton(false, Look::Normal), QStringLiteral("powerOff.png"));
    save(PowerButton(false, Look::Selected), QStringLiteral("powerOffSelected.png"));
    save(RecordButton(false, Look::Normal), QStringLiteral("record.png"));
    save(RecordButton(false, Look::Selected), QStringLiteral("recordSelected.png"));
    save(RecordButton(true, Look::Normal), QStringLiteral("recordOn.png"));
    save(RecordButton(true, Look::Selected), QStringLiteral("recordOnSelected.png"));

    // The play list's row icons, by the names the list loads them under.
    for (int deck = 0; deck < 2; ++deck) {
        const QString letter = deck == 0 ? QStringLiteral("A") : QStringLiteral("B");
        save(RowIcon(deck, Mark::Cued), QStringLiteral("listCued") + letter + ".png");
        save(RowIcon(deck, Mark::Plain), QStringLiteral("listDeck") + letter + ".png");
        save(RowIcon(deck, Mark::CuedSelected),
             QStringLiteral("listCuedSelected") + letter + ".png");
        save(RowIcon(deck, Mark::Selected), QStringLiteral("listSelected") + letter + ".png");
    }
    save(UnreadableIcon(), QStringLiteral("listUnreadable.png"));

    // The sizes the desktop's icon theme asks for; the window icons use them too.
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        save(ProgramIcon(size), QStringLiteral("tevaudio-%1.png").arg(size));
    }
    for (const int size : {16, 32, 64}) {
        save(TurntableIcon(size, QColor(0xcd, 0xab, 0xff)),
             QStringLiteral("deckIcon-%1.png").arg(size));
    }
    save(SplashScreen(), QStringLiteral("TevAudioSplashScreen.png"));
    save(CompanyLogo(), QStringLiteral("TevQuilletLogo.png"));
    return ok ? 0 : 1;
}
