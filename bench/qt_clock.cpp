// kadrill_bench_qt_clock: the plainest Qt Widgets clock, as a yardstick for what Kadrill
// costs at start: a window drawing six digits, repainted at each second edge.

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class Clock : public QWidget {
public:
    Clock() {
        setWindowTitle(QStringLiteral("kadrill-bench-qt-clock"));
        setFixedSize(400, 126);
        QFont f = font();
        f.setPixelSize(48);
        setFont(f);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            update();
            armForNextSecond();
        });
        armForNextSecond();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.setPen(Qt::green);
        p.drawText(rect(), Qt::AlignCenter, QTime::currentTime().toString(QStringLiteral("HHmmss")));
    }

private:
    void armForNextSecond() {
        timer_.start(1000 - QTime::currentTime().msec());
    }

    QTimer timer_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Clock w;
    w.show();
    return QApplication::exec();
}
