// The program's icon: built in, and drawn (which needs Qt's SVG support at
// run time).
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "ui/ApplicationIcon.h"

namespace kestrovan {

class TApplicationIconTest : public QObject {
  Q_OBJECT

 private slots:
  void drawsTheRobotOnItsFloorAtEverySize() {
    const QIcon icon = ApplicationIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 48, 256}) {
      const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
      QCOMPARE(image.size(), QSize(size, size));
      // the rounded corner stays transparent
      QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
      // the robot's blue body covers the middle below the heading mark
      const QRgb body = image.pixel(size / 2 - size / 8, size * 5 / 8);
      QCOMPARE(qAlpha(body), 255);
      QVERIFY2(qBlue(body) > qRed(body) + 60, qPrintable(QString::number(body, 16)));
    }
  }
};

QObject* CreateApplicationIconTest() { return new TApplicationIconTest; }

}  // namespace kestrovan

#include "tst_ApplicationIcon.moc"
