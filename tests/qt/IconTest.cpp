// The program's icon: the icon theme's files that get installed and the window and tray
// icons come from the same drawings; each size is drawn for its own grid, and the largest
// are whole enlargements, pixel for pixel, never smoothed.

#include "platform/qt/Assets.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

namespace {

// The sizes desktops ask an icon theme for.
const QList<int> kThemeSizes{16, 22, 24, 32, 48, 64, 128, 256};

QImage themeIcon(int size) {
    return QImage(QDir(qEnvironmentVariable("KADRILL_ICON_DIR")).filePath(QStringLiteral("kadrill-%1.png").arg(size)))
        .convertToFormat(QImage::Format_ARGB32);
}

QImage drawn(int size) {
    return kadrill::platform::qt::assetPixmap("kadrill-" + std::to_string(size))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

// Where `big` is not `small` enlarged by a whole factor: empty when it is.
QString enlargementFault(const QImage& big, const QImage& small) {
    if (small.isNull() || big.width() % small.width() != 0 || big.height() != big.width())
        return QStringLiteral("sizes do not divide");
    const int k = big.width() / small.width();
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            if (big.pixel(x, y) != small.pixel(x / k, y / k))
                return QStringLiteral("pixel %1,%2 is %3, not %4 of the %5 px drawing")
                    .arg(x)
                    .arg(y)
                    .arg(big.pixel(x, y), 8, 16, QChar(u'0'))
                    .arg(small.pixel(x / k, y / k), 8, 16, QChar(u'0'))
                    .arg(small.width());
    return {};
}

} // namespace

class IconTest : public QObject {
    Q_OBJECT

private slots:
    void everyThemeSizeIsItsOwnDrawingOrAWholeEnlargementOfOne() {
        QList<int> drawnSizes;
        for (int size : kThemeSizes)
            if (!drawn(size).isNull())
                drawnSizes << size;
        for (int size : kThemeSizes) {
            const QImage file = themeIcon(size);
            QVERIFY2(!file.isNull(), qPrintable(QStringLiteral("no %1 px icon file").arg(size)));
            QCOMPARE(file.size(), QSize(size, size));
            if (drawnSizes.contains(size)) {
                QVERIFY2(enlargementFault(file, drawn(size)).isEmpty(),
                         qPrintable(QStringLiteral("%1 px: %2").arg(size).arg(enlargementFault(file, drawn(size)))));
                continue;
            }
            // From the largest drawing it is a whole multiple of.
            int from = 0;
            for (int d : drawnSizes)
                if (size % d == 0)
                    from = d;
            QVERIFY2(from > 0, qPrintable(QStringLiteral("%1 px is drawn from nothing").arg(size)));
            const QString fault = enlargementFault(file, drawn(from));
            QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("%1 px: %2").arg(size).arg(fault)));
        }
        // Small sizes need drawings of their own: an enlarged 16 px watch is a blur of blocks.
        for (int size : {16, 22, 24, 32, 48, 64})
            QVERIFY2(drawnSizes.contains(size), qPrintable(QStringLiteral("no %1 px drawing").arg(size)));
    }

    void theWindowAndTrayIconOfferEveryDrawing() {
        const QIcon icon = kadrill::platform::qt::assetIcon("kadrill");
        for (int size : {16, 22, 24, 32, 48, 64}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                     qPrintable(QStringLiteral("the icon has no %1 px picture").arg(size)));
            const QImage picture = icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(picture, drawn(size));
        }
    }
};

QTEST_MAIN(IconTest)
#include "IconTest.moc"
