#include "app/splash_window.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "app/version.h"

namespace qvx::gui {

SplashWindow::SplashWindow(int show_ms, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("splashWindow");
    setFixedSize(480, 280);
    setModal(true);
    QTimer::singleShot(show_ms, this, &QDialog::accept);
}

void SplashWindow::mousePressEvent(QMouseEvent*) {
    accept();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(18, 42, 74));
    sky.setColorAt(1, QColor(40, 92, 140));
    painter.fillRect(rect(), sky);

    // A road in perspective with the radar beam sweeping across it.
    QPainterPath road;
    road.moveTo(width() * 0.42, height() * 0.55);
    road.lineTo(width() * 0.58, height() * 0.55);
    road.lineTo(width() * 0.95, height());
    road.lineTo(width() * 0.05, height());
    road.closeSubpath();
    painter.fillPath(road, QColor(60, 64, 70));
    painter.setPen(QPen(QColor(240, 200, 60), 3, Qt::DashLine));
    painter.drawLine(QPointF(width() * 0.5, height() * 0.56), QPointF(width() * 0.5, height()));
    const QPointF radar(width() * 0.12, height() * 0.5);
    painter.setPen(Qt::NoPen);
    for (int ring = 3; ring >= 1; --ring) {
        painter.setBrush(QColor(120, 220, 255, 30 * ring));
        painter.drawPie(QRectF(radar.x() - ring * 70, radar.y() - ring * 70, ring * 140, ring * 140),
                        -40 * 16, 35 * 16);
    }
    painter.setBrush(QColor(230, 230, 230));
    painter.drawRoundedRect(QRectF(radar.x() - 10, radar.y() - 14, 20, 28), 4, 4);

    painter.setPen(Qt::white);
    QFont title = font();
    title.setPointSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(0, 30, width(), 50), Qt::AlignCenter, kProgramName);
    QFont version = font();
    version.setPointSize(12);
    painter.setFont(version);
    painter.drawText(QRectF(0, 80, width(), 30), Qt::AlignCenter, QString("Version ") + kProgramVersion);
}

}  // namespace qvx::gui
