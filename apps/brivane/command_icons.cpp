#include "apps/brivane/command_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include "processing/commands.h"

namespace {

constexpr int kSize = 24;

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 200);
const QColor kRed(200, 40, 40);
const QColor kGreen(30, 150, 60);
const QColor kOrange(230, 140, 20);

// The five receiver colours of the line plots, roughly.
const QColor kReceivers[5] = {QColor(220, 0, 0), QColor(0, 160, 0), QColor(0, 0, 220),
                              QColor(200, 0, 200), QColor(0, 170, 170)};

void Triangle(QPainter& p, bool right, double x, double y, double h, QColor c) {
    QPolygonF t;
    if (right)
        t << QPointF(x, y - h / 2) << QPointF(x + h * 0.8, y) << QPointF(x, y + h / 2);
    else
        t << QPointF(x + h * 0.8, y - h / 2) << QPointF(x, y) << QPointF(x + h * 0.8, y + h / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(t);
}

void Label(QPainter& p, const QString& text, QColor c = kInk, int pixelSize = 10) {
    QFont f = p.font();
    f.setPixelSize(pixelSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, text);
}

// A double-headed arrow, horizontal or vertical, with + or - beside it.
void ScaleGlyph(QPainter& p, bool horizontal, bool up) {
    p.setPen(QPen(kInk, 2));
    if (horizontal) {
        p.drawLine(3, 9, 21, 9);
        Triangle(p, false, 2, 9, 6, kInk);
        Triangle(p, true, 17, 9, 6, kInk);
    } else {
        p.drawLine(8, 3, 8, 21);
        QPolygonF a, b;
        a << QPointF(8, 1) << QPointF(4, 7) << QPointF(12, 7);
        b << QPointF(8, 23) << QPointF(4, 17) << QPointF(12, 17);
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawPolygon(a);
        p.drawPolygon(b);
    }
    p.setPen(QPen(up ? kGreen : kRed, 2.5));
    const QPointF c = horizontal ? QPointF(12, 18) : QPointF(18, 12);
    p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
    if (up) p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
}

void Dots(QPainter& p, int receivers) {
    p.setPen(Qt::NoPen);
    for (int j = 0; j < receivers; ++j) {
        p.setBrush(kReceivers[j % 5]);
        for (int i = 0; i < 5; ++i) {
            const double y = 18 - j * 3 - ((i * 7 + j * 3) % 5) * 0.8;
            p.drawEllipse(QPointF(3 + i * 4.5, y), 1.5, 1.5);
        }
    }
}

void Section(QPainter& p, bool gridded) {
    const QColor colours[4] = {QColor(0, 0, 200), QColor(0, 180, 200), QColor(240, 200, 0),
                               QColor(220, 30, 0)};
    p.setPen(Qt::NoPen);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 5 - (gridded ? 0 : r / 2); ++c) {
            p.setBrush(colours[(r + c) % 4]);
            if (gridded)
                p.drawRect(QRectF(2 + c * 4, 4 + r * 4, 4, 4));
            else
                p.drawEllipse(QPointF(4 + c * 4 + r * 2, 5 + r * 4), 1.8, 1.8);
        }
    }
}

void Layers(QPainter& p) {
    const QColor colours[3] = {QColor(220, 30, 0), QColor(240, 200, 0), QColor(0, 90, 200)};
    for (int k = 0; k < 3; ++k) {
        QPainterPath path;
        path.moveTo(2, 5 + k * 6);
        path.cubicTo(8, 3 + k * 6, 14, 8 + k * 6, 22, 5 + k * 6);
        path.lineTo(22, 11 + k * 6);
        path.cubicTo(14, 14 + k * 6, 8, 9 + k * 6, 2, 11 + k * 6);
        path.closeSubpath();
        p.fillPath(path, colours[k]);
    }
}

void Paint(QPainter& p, int id) {
    switch (id) {
        case kCmdOpenSection:
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(240, 200, 80));
            p.drawRect(QRectF(2, 7, 18, 13));
            p.drawRect(QRectF(2, 5, 7, 3));
            Label(p, "ovs", kInk, 7);
            break;
        case kCmdSaveSection:
            p.setPen(QPen(kInk, 1));
            p.setBrush(kBlue);
            p.drawRect(QRectF(3, 3, 18, 18));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7, 3, 10, 6));
            p.drawRect(QRectF(6, 13, 12, 8));
            break;
        case kCmdPrint:
            p.setPen(QPen(kInk, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7, 2, 10, 8));
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(2, 9, 20, 9));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(6, 15, 12, 7));
            break;
        case kCmdUndo: {
            QPainterPath path;
            path.moveTo(7, 9);
            path.cubicTo(14, 3, 22, 8, 19, 16);
            path.cubicTo(17, 20, 12, 20, 10, 19);
            p.setPen(QPen(kBlue, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            Triangle(p, false, 2, 9, 9, kBlue);
            break;
        }
        case kCmdHScaleDown:
            ScaleGlyph(p, true, false);
            break;
        case kCmdHScaleUp:
            ScaleGlyph(p, true, true);
            break;
        case kCmdVScaleUp:
            ScaleGlyph(p, false, true);
            break;
        case kCmdVScaleDown:
            ScaleGlyph(p, false, false);
            break;
        case kCmdPreviousLine:
            Triangle(p, false, 6, 12, 14, kBlue);
            break;
        case kCmdNextLine:
            Triangle(p, true, 7, 12, 14, kBlue);
            break;
        case kCmdSoundingBack10:
            Triangle(p, false, 2, 12, 12, kGreen);
            Triangle(p, false, 11, 12, 12, kGreen);
            break;
        case kCmdSoundingForward10:
            Triangle(p, true, 3, 12, 12, kGreen);
            Triangle(p, true, 12, 12, 12, kGreen);
            break;
        case kCmdPreviousReceiver:
            Dots(p, 1);
            Label(p, "R-", kRed, 10);
            break;
        case kCmdNextReceiver:
            Dots(p, 1);
            Label(p, "R+", kGreen, 10);
            break;
        case kCmdDisplayToggle:
            p.setPen(QPen(kInk, 1.5));
            p.drawPolyline(QPolygonF() << QPointF(3, 4) << QPointF(9, 4) << QPointF(9, 12)
                                       << QPointF(15, 12) << QPointF(15, 20) << QPointF(21, 20));
            p.setPen(QPen(kRed, 1.5, Qt::DashLine));
            p.drawLine(3, 20, 21, 4);
            break;
        case kCmdShowLineResistance:
            Dots(p, 3);
            Label(p, "V/I", kInk, 8);
            break;
        case kCmdShowLineResistivity:
            Dots(p, 5);
            break;
        case kCmdShowSectionOriginal:
            Section(p, false);
            break;
        case kCmdShowSectionGridded:
            Section(p, true);
            break;
        case kCmdShowModel1D:
            p.setPen(QPen(kBlue, 2));
            p.drawPolyline(QPolygonF() << QPointF(6, 2) << QPointF(6, 8) << QPointF(16, 8)
                                       << QPointF(16, 14) << QPointF(10, 14) << QPointF(10, 22));
            p.setPen(QPen(kInk, 1));
            p.drawLine(2, 2, 2, 22);
            break;
        case kCmdShowModel2D:
            Layers(p);
            break;
        case kCmdShowMapGPS:
            p.setPen(QPen(kGreen, 1));
            p.setBrush(QColor(220, 240, 220));
            p.drawRect(QRectF(2, 2, 20, 20));
            p.setPen(QPen(kRed, 2));
            p.drawPolyline(QPolygonF() << QPointF(4, 19) << QPointF(10, 12) << QPointF(14, 14)
                                       << QPointF(20, 5));
            break;
        case kCmdShowAllReceivers:
        case kCmdShowAllReceiversButton:
            Dots(p, 5);
            Label(p, "All", kInk, 7);
            break;
        case kCmdShowOneReceiver:
            Dots(p, 1);
            Label(p, "1", kInk, 10);
            break;
        case kCmdDisplayMode:
            Label(p, "1|5|10", kInk, 7);
            break;
        case kCmdEditLines: {
            p.setPen(QPen(kInk, 1));
            p.setBrush(kOrange);
            QPolygonF pencil;
            pencil << QPointF(4, 20) << QPointF(6, 14) << QPointF(17, 3) << QPointF(21, 7)
                   << QPointF(10, 18);
            p.drawPolygon(pencil);
            break;
        }
        case kCmdConvertToGrid:
            p.setPen(QPen(kInk, 1));
            for (int k = 0; k <= 4; ++k) {
                p.drawLine(3 + k * 4.5, 3, 3 + k * 4.5, 21);
                p.drawLine(3, 3 + k * 4.5, 21, 3 + k * 4.5);
            }
            break;
        case kCmdStopSerialTransfer:
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawRect(QRectF(5, 5, 14, 14));
            break;
        case kCmdMouseMode1: {
            QPolygonF arrow;
            arrow << QPointF(4, 3) << QPointF(4, 19) << QPointF(8, 15) << QPointF(11, 21)
                  << QPointF(13, 20) << QPointF(10, 14) << QPointF(15, 14);
            p.setPen(QPen(kInk, 1));
            p.setBrush(Qt::white);
            p.drawPolygon(arrow);
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawEllipse(QPointF(18, 6), 3, 3);
            break;
        }
        case kCmdMouseMode4:
            p.setPen(QPen(kInk, 1.5, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(3, 5, 18, 14));
            Dots(p, 2);
            break;
        case kCmdMouseMode5:
            Label(p, "M5", kBlue, 10);
            break;
        case kCmdMouseMode5Option:
            Label(p, "M5+", kBlue, 9);
            break;
        case kCmdMapMosaic:
            p.setPen(Qt::NoPen);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) {
                    p.setBrush((r + c) % 2 ? QColor(240, 200, 0) : QColor(0, 120, 220));
                    p.drawRect(QRectF(2 + c * 5, 2 + r * 5, 5, 5));
                }
            break;
        case kCmdMapContourNoLine:
        case kCmdMapContourLine:
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 120, 220));
            p.drawRect(QRectF(2, 2, 20, 20));
            p.setBrush(QColor(240, 200, 0));
            p.drawEllipse(QPointF(12, 12), 8, 6);
            p.setBrush(QColor(220, 30, 0));
            p.drawEllipse(QPointF(12, 12), 4, 3);
            if (id == kCmdMapContourLine) {
                p.setPen(QPen(kInk, 1));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(QPointF(12, 12), 8, 6);
                p.drawEllipse(QPointF(12, 12), 4, 3);
            }
            break;
        case kCmdNew:
            p.setPen(QPen(kInk, 1));
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF() << QPointF(5, 2) << QPointF(15, 2) << QPointF(20, 7)
                                      << QPointF(20, 22) << QPointF(5, 22));
            break;
        default:
            Label(p, QString::number(id % 100));
            break;
    }
}

}  // namespace

QIcon CommandIcon(int id) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kSize * scale, kSize * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, true);
        Paint(painter, id);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
