// kadrill_bench_qt60: the plainest Qt Widgets program that repaints a small
// area at display rate, as a yardstick for what a running stopwatch costs.
//
// A 400x126 window whose 48x64 corner shows the hundredths of the time since
// start, refreshed by a 16 ms precise timer through update(rect), the way
// Qt's own clock examples do it. Nothing else: no layout, no style sheet, no
// caching beyond what QWidget does by default.

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kFrameMs = 16;
const QRect kDigitArea{16, 31, 48, 64};

class Counter : public QWidget {
public:
    Counter() {
        setWindowTitle(QStringLiteral("kadrill-bench-qt60"));
        setFixedSize(400, 126);
        QFont f = font();
        f.setPixelSize(48);
        setFont(f);
        sinceStart_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kFrameMs);
        // The timer only asks for a repaint; what to show is read from the clock.
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { update(kDigitArea); });
        timer_.start();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.fillRect(event->rect(), Qt::black);
        p.setPen(Qt::green);
        const qint64 hundredths = sinceStart_.elapsed() / 10 % 100;
        p.drawText(kDigitArea, Qt::AlignCenter, QString::asprintf("%02lld", hundredths));
    }

private:
    QElapsedTimer sinceStart_;
    QTimer timer_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Counter w;
    w.show();
    return QApplication::exec();
}
